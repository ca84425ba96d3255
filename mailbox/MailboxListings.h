// The listings of mailbox directories, kept for the whole process.
//
// Every reading call finds message n by listing its directory; a mailbox of
// tens of thousands of messages would be listed again for every summary of
// an inbox page. A listing is therefore kept and reused while the directory
// is unchanged: its last-write time is read before each use (one call), and
// the kept listing serves only when that time is the one read when it was
// taken and the listing was taken after that time had settled
// (platform::TakenAfterSettling); a listing taken sooner is always taken
// again. Anything done to a mailbox by anyone, in this process or another,
// changes the directory's time or, within the span, is listed afresh.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace tarnwick::mailbox {

// A mailbox's messages: the names of its entries that do not begin with
// ".", in the order the platform lists them.
using MessageNames = std::vector<std::string>;

class MailboxListings {
public:
    // Listings kept at once; the least recently used goes first.
    static constexpr std::size_t kMaxDirectories = 64;

    // The one set of the process, shared by every Mail and MailReader object.
    static MailboxListings& Shared();

    // The messages of directory (a narrow path ending with a separator);
    // null when it cannot be listed.
    std::shared_ptr<const MessageNames> Messages(const std::string& directory);
    // Forgets directory's listing (after a change made through it).
    void Drop(const std::string& directory);

private:
    struct Kept {
        std::string directory;
        platform::FileTime writeTime;   // the directory's, when listed
        platform::FileTime takenAt;
        std::shared_ptr<const MessageNames> names;
        unsigned long long lastUse;
    };

    std::mutex lock_;
    std::vector<Kept> kept_;
    unsigned long long uses_ = 0;
};

// Lists directory now, keeping nothing; null when it cannot be listed.
std::shared_ptr<const MessageNames> ListMessages(const std::string& directory);

}  // namespace tarnwick::mailbox
