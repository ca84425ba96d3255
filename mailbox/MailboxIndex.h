// The mailbox directory of one user and the index of its messages.
//
// Messages are the directory's entries whose names do not begin with ".", in
// the order the platform lists them; a message's index is its 0-based position
// among them. The listing comes from MailboxListings, which takes it again
// whenever the directory may have changed.
#pragma once

#include <string>

#include "platform/FileSystem.h"
#include "text/Limits.h"

namespace tarnwick::mailbox {

// Opens the message file at path, mapped read-only, builds a reading's part
// tree over its bytes (mime::stored::Part or mime::current::Part) and lets
// work read it; the file is closed when work returns. False, without work,
// when the file cannot be opened or mapped (or is empty).
template <class Tree, class Work>
bool WithMessageTree(const std::string& path, Work work) {
    platform::MappedFile file;
    if (!file.Open(path)) return false;
    const Tree root(file.Begin(), file.End());
    work(root);
    return true;
}

// Whether bytes, the start of a message, hold the empty line that ends its
// header: every reading's header ends there or before.
bool HoldsHeaderEnd(const std::string& bytes);

// As WithMessageTree, but only the message's header is read (up to its
// empty line; the whole file when it has none), for results that come from
// the header alone: the summary of a big message costs its header, not its
// size.
template <class Tree, class Work>
bool WithMessageHead(const std::string& path, Work work) {
    std::string head;
    if (!platform::ReadFileHead(path, head, HoldsHeaderEnd)) return false;
    const Tree root(head.data(), head.data() + head.size());
    work(root);
    return true;
}

// How much of a message a reading needs.
enum class MessageExtent { Whole, Header };

// Counts the messages in directory (a narrow path ending with a separator,
// listed as directory + "*.*") into count; false, with count 0, when it
// cannot be listed. The listing is the one MailboxListings keeps.
bool CountMessages(const std::string& directory, long& count);

enum class ReadOutcome {
    NoMessage,    // the mailbox cannot be listed or has no such index
    Unopenable,   // the entry cannot be opened or mapped (or is empty)
    Opened,
};

class MailboxIndex {
public:
    // Both are narrow texts; mailPath is used as given (it should end with a
    // separator, since the user name is appended to it directly).
    MailboxIndex(std::string mailPath, std::string userName);

    // mailPath + userName + "\mailbox\"
    std::string Directory() const;
    // The listing pattern: Directory() + "*.*"
    std::string Pattern() const;

    // The messages of Directory(); 0 when it cannot be listed.
    long MailCount() const;

    // The name of message nIndex's entry; false when there is none.
    bool FindMessageEntry(long nIndex, std::string& entryName) const;
    // Directory() + entry name; false when it would exceed text::kMaxPathBytes.
    bool MailboxFilePath(const std::string& entryName, std::string& path) const;

    // The common course of every reading method: find message nIndex, open
    // its file and let work read it as a Tree (WithMessageTree).
    // With MessageExtent::Header only the header is read (WithMessageHead).
    template <class Tree, class Work>
    ReadOutcome ReadMessage(long nIndex, Work work, MessageExtent extent = MessageExtent::Whole) const {
        std::string entry, path;
        if (!FindMessageEntry(nIndex, entry)) return ReadOutcome::NoMessage;
        const bool read = MailboxFilePath(entry, path) && (extent == MessageExtent::Header
                                                                ? WithMessageHead<Tree>(path, work)
                                                                : WithMessageTree<Tree>(path, work));
        return read ? ReadOutcome::Opened : ReadOutcome::Unopenable;
    }

    // Deletes message nIndex (and forgets the listing it changed); the
    // outcome of the deletion is not reported.
    void DeleteMail(long nIndex) const;

private:
    std::string mailPath_;
    std::string userName_;
};

}  // namespace tarnwick::mailbox
