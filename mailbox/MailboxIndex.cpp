#include "mailbox/MailboxIndex.h"

#include <utility>

namespace tarnwick::mailbox {
namespace {

bool IsMessageName(const std::string& name) { return !name.empty() && name[0] != '.'; }

}  // namespace

void MessageView::Close() {
    file_.Close();
    listing_.End();
}

MailboxIndex::MailboxIndex(std::string mailPath, std::string userName)
    : mailPath_(std::move(mailPath)), userName_(std::move(userName)) {}

std::string MailboxIndex::Directory() const { return mailPath_ + userName_ + "\\mailbox\\"; }

std::string MailboxIndex::Pattern() const { return Directory() + "*.*"; }

bool CountMessages(const std::string& directory, long& count) {
    count = 0;
    platform::DirectoryListing listing;
    if (!listing.Start(directory + "*.*")) return false;
    std::string name;
    while (listing.Next(name))
        if (IsMessageName(name)) ++count;
    return true;
}

long MailboxIndex::MailCount() const {
    long count = 0;
    CountMessages(Directory(), count);
    return count;
}

bool MailboxIndex::FindMessageEntry(long nIndex, MessageView& view, std::string& entryName) const {
    view.Close();
    if (nIndex < 0) return false;
    if (!view.listing_.Start(Pattern())) return false;
    long position = 0;
    std::string name;
    while (view.listing_.Next(name)) {
        if (!IsMessageName(name)) continue;
        if (position == nIndex) {
            entryName = name;
            return true;
        }
        ++position;
    }
    view.listing_.End();
    return false;
}

bool MailboxIndex::MailboxFilePath(const std::string& entryName, std::string& path) const {
    std::string full = Directory() + entryName;
    if (full.size() > text::kMaxPathBytes) return false;
    path = std::move(full);
    return true;
}

bool MailboxIndex::OpenMessageView(const std::string& path, MessageView& view) {
    return view.file_.Open(path);
}

ReadOutcome MailboxIndex::OpenMessage(long nIndex, MessageView& view) const {
    std::string entry, path;
    if (!FindMessageEntry(nIndex, view, entry)) return ReadOutcome::NoMessage;
    if (!MailboxFilePath(entry, path) || !OpenMessageView(path, view)) {
        view.Close();
        return ReadOutcome::Unopenable;
    }
    return ReadOutcome::Opened;
}

void MailboxIndex::DeleteMail(long nIndex) const {
    MessageView view;
    std::string entry, path;
    if (!FindMessageEntry(nIndex, view, entry)) return;
    if (MailboxFilePath(entry, path)) platform::DeleteFileAt(path);
    view.Close();
}

}  // namespace tarnwick::mailbox
