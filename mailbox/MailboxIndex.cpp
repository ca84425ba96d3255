#include "mailbox/MailboxIndex.h"

#include <utility>

#include "mailbox/MailboxListings.h"
#include "text/FileNames.h"

namespace tarnwick::mailbox {

bool HoldsHeaderEnd(const std::string& bytes) {
    // An empty line: at the very start, or after a line break, with or
    // without its carriage return.
    if (bytes.compare(0, 1, "\n") == 0 || bytes.compare(0, 2, "\r\n") == 0) return true;
    return bytes.find("\n\n") != std::string::npos || bytes.find("\n\r\n") != std::string::npos;
}

MailboxIndex::MailboxIndex(std::string mailPath, std::string userName)
    : mailPath_(std::move(mailPath)), userName_(std::move(userName)) {}

std::string MailboxIndex::Directory() const { return mailPath_ + userName_ + "\\mailbox\\"; }

std::string MailboxIndex::Pattern() const { return Directory() + "*.*"; }

bool CountMessages(const std::string& directory, long& count) {
    const std::shared_ptr<const MessageNames> names = MailboxListings::Shared().Messages(directory);
    count = names ? static_cast<long>(names->size()) : 0;
    return names != nullptr;
}

long MailboxIndex::MailCount() const {
    long count = 0;
    CountMessages(Directory(), count);
    return count;
}

bool MailboxIndex::FindMessageEntry(long nIndex, std::string& entryName) const {
    if (nIndex < 0) return false;
    const std::shared_ptr<const MessageNames> names = MailboxListings::Shared().Messages(Directory());
    if (!names || static_cast<unsigned long>(nIndex) >= names->size()) return false;
    entryName = (*names)[static_cast<std::size_t>(nIndex)];
    return true;
}

bool MailboxIndex::MailboxFilePath(const std::string& entryName, std::string& path) const {
    return text::FitsPathBuffer(Directory() + entryName, path);
}

void MailboxIndex::DeleteMail(long nIndex) const {
    std::string entry, path;
    if (!FindMessageEntry(nIndex, entry)) return;
    if (MailboxFilePath(entry, path)) platform::DeleteFileAt(path);
    MailboxListings::Shared().Drop(Directory());
}

}  // namespace tarnwick::mailbox
