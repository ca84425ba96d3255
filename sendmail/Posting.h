// Posting a composed form: the message is written into a fresh working
// directory under the temporary path and copied into the directory of every
// recipient whose domain is local.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "sendmail/MultipartMessage.h"
#include "upload/PostedForm.h"

namespace tarnwick::sendmail {

// The domains delivered to locally, compared in this order.
struct LocalDomains {
    std::string lan;
    std::string loopback = "127.0.0.1";
    std::string host;
};

// Whether the address's domain is local (spaces and tabs around the address
// do not count); user is then the text before the first "@" (empty when
// there is none).
bool IsLocalAddress(const std::string& address, const LocalDomains& domains, std::string& user);

// Whether a local user name may name a directory under the mail path: never
// one that could leave the mail store (a path separator, a drive colon, "."
// or ".."), one ending in a dot or a space (which Windows drops, so that it
// would name another user's folder) or an empty one.
bool IsDeliverableUserName(const std::string& user);

// The folder of a user's received messages, inside the user's folder.
constexpr char kMailboxFolder[] = "mailbox";

// Whether user is a user of the store at mailPath: a deliverable name whose
// folder holds a kMailboxFolder folder. Other folders of the store (the
// server's work folders) get no mail.
bool IsLocalUser(const std::string& mailPath, const std::string& user);

// Year, month, day, hour, minute, second and milliseconds as plain decimal
// numbers without separators ("%i" seven times).
std::string TimeDigits(const platform::UtcTime& time);

// The current time's digits, different from the previous result in this
// process: two posts in one millisecond must not share names.
std::string UniqueTimeDigits();

// Copies the message file into userDir as "qvr" + digits + ".in". When a file
// of that name exists already (another message's), the copy takes the next
// free time name instead, so no message is lost. False when the user has no
// directory or the copy cannot be made.
bool DeliverCopy(const std::string& messageFile, const std::string& userDir, std::string digits);

// How a post ended; only kSent is a success.
enum class PostOutcome {
    kSent,                // composed and copied to every local recipient
    kUnreadableAddress,   // a recipient with a "<" but no ">" after it
    kNoRecipient,         // the To text names nobody
    kUnknownLocalUser,    // a local recipient who is no user of the store (IsLocalUser)
    kNoWorkingDirectory,  // tempPath is empty or no directory could be made in it
    kWriteFailed,         // the message file could not be written
    kCopyFailed,          // a local recipient's copy could not be made
};

// A posted form made into a message, by one of the two ways of writing it.
class FormMessage {
public:
    virtual ~FormMessage() = default;
    // Reads the sender, the recipients, the subject and the text from the
    // form: kUnreadableAddress at an address that cannot be read,
    // kNoRecipient when nobody is named, else kSent.
    virtual PostOutcome ReadFields(const upload::PostedForm& form) = 0;
    // Every address the message goes to.
    virtual std::vector<std::string> Addresses() const = 0;
    // Attaches an upload (a file field with a file name and bytes), in form
    // order; the bytes stay the form's.
    virtual void Attach(const upload::FormField& upload) = 0;
    // Writes the message file, ended by the end-of-data line.
    virtual void WriteTo(std::FILE* file) const = 0;
};

// SendMail's message: the form's text in the system code page, as
// MultipartMessage writes it.
class CodePageFormMessage : public FormMessage {
public:
    PostOutcome ReadFields(const upload::PostedForm& form) override;
    std::vector<std::string> Addresses() const override;
    void Attach(const upload::FormField& upload) override;
    void WriteTo(std::FILE* file) const override { message_.WriteTo(file); }

private:
    MultipartMessage message_;
};

// Makes the form's message: its fields read, then every uploaded file (a
// file field with a file name and bytes) attached, once, in form order.
// What ReadFields answers.
PostOutcome ComposeForm(const upload::PostedForm& form, FormMessage& message);

// Composes the form's message and delivers it. Every recipient is checked
// first: nothing is made unless each address can be read and each local one
// names a user of the store at mailPath (IsLocalUser). Every uploaded file (a file
// field with a file name and bytes) is attached once, from the posted bytes,
// in form order. The message file is written into a fresh working directory
// under tempPath (which then names it), copied to each local user once
// (copies made stay when a later one fails) and removed with the directory.
PostOutcome PostForm(const upload::PostedForm& form, FormMessage& message, std::string& tempPath,
                     const std::string& mailPath, const LocalDomains& domains);

// PostForm with SendMail's message.
PostOutcome PostForm(const upload::PostedForm& form, std::string& tempPath, const std::string& mailPath,
                     const LocalDomains& domains);

}  // namespace tarnwick::sendmail
