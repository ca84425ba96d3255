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

// One message opened for reading: the file mapped read-only until the view
// is closed.
class MessageView {
public:
    const char* Begin() const { return file_.Begin(); }
    const char* End() const { return file_.End(); }
    std::uint32_t Size() const { return file_.Size(); }
    void Close() { file_.Close(); }   // unmap and close the file; idempotent

private:
    friend class MailboxIndex;
    platform::MappedFile file_;
};

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
    // Maps the file into view; false (nothing left open) on failure.
    static bool OpenMessageView(const std::string& path, MessageView& view);
    static void CloseMessageView(MessageView& view) { view.Close(); }

    // The common start of every reading method: find, build the path, open.
    // On anything but Opened the view is already closed.
    ReadOutcome OpenMessage(long nIndex, MessageView& view) const;

    // Deletes message nIndex (and forgets the listing it changed); the
    // outcome of the deletion is not reported.
    void DeleteMail(long nIndex) const;

private:
    std::string mailPath_;
    std::string userName_;
};

}  // namespace tarnwick::mailbox
