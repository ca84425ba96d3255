#include "mailbox/MailboxListings.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace tarnwick::mailbox {

std::shared_ptr<const MessageNames> ListMessages(const std::string& directory) {
    platform::DirectoryListing listing;
    if (!listing.Start(directory + "*.*")) return nullptr;
    auto names = std::make_shared<MessageNames>();
    std::string name;
    while (listing.Next(name))
        if (!name.empty() && name[0] != '.') names->push_back(name);
    return names;
}

MailboxListings& MailboxListings::Shared() {
    static MailboxListings listings;
    return listings;
}

std::shared_ptr<const MessageNames> MailboxListings::Messages(const std::string& directory) {
    platform::FileTime writeTime = 0;
    if (!platform::LastWriteTime(directory, writeTime)) {
        Drop(directory);
        return ListMessages(directory);
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (Kept& k : kept_) {
            if (k.directory != directory) continue;
            if (k.writeTime == writeTime && platform::TakenAfterSettling(writeTime, k.takenAt)) {
                k.lastUse = ++uses_;
                return k.names;
            }
            break;
        }
    }
    // Listed outside the lock: other mailboxes need not wait for this one.
    // The time is read before the listing, so a change made while listing
    // is never taken as older than it.
    const platform::FileTime takenAt = platform::CurrentFileTime();
    std::shared_ptr<const MessageNames> names = ListMessages(directory);
    std::lock_guard<std::mutex> guard(lock_);
    auto same = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.directory == directory; });
    if (names == nullptr) {
        if (same != kept_.end()) kept_.erase(same);
        return nullptr;
    }
    if (same == kept_.end()) {
        if (kept_.size() >= kMaxDirectories)
            kept_.erase(std::min_element(kept_.begin(), kept_.end(),
                                         [](const Kept& a, const Kept& b) { return a.lastUse < b.lastUse; }));
        kept_.push_back(Kept{directory, 0, 0, nullptr, 0});
        same = kept_.end() - 1;
    }
    *same = Kept{directory, writeTime, takenAt, names, ++uses_};
    return names;
}

void MailboxListings::Drop(const std::string& directory) {
    std::lock_guard<std::mutex> guard(lock_);
    kept_.erase(std::remove_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.directory == directory; }),
                kept_.end());
}

}  // namespace tarnwick::mailbox
