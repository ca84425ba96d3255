// The message MailWriter sends, as mail is written today: header text in
// UTF-8 made ASCII (RFC 2047 encoded words, RFC 2231 file names), lines
// folded at 78 characters where a blank allows, a Message-ID, the text in
// UTF-8 (quoted-printable when it is not plain short ASCII), attachments in
// base64. Without attachments it is one text/plain part.
//
// Every text given is UTF-8; addresses are printable ASCII.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sendmail/Posting.h"

namespace tarnwick::sendmail {

// One mailbox of an address field: the address and the name shown for it.
struct Mailbox {
    std::string address;
    std::string displayName;
};

// Reads an address field: mailboxes separated by ',' or ';' (outside quotes
// and angle brackets), each "name <address>" (the name may be a quoted
// string) or an address alone; blanks around them are dropped and empty
// ones skipped. False at a mailbox that cannot be read: a '<' without its
// '>', text after the '>', or an address that is not local-part "@" domain
// in printable ASCII without blanks or specials.
bool ParseMailboxes(std::string_view text, std::vector<Mailbox>& out);

class Utf8Message {
public:
    // Each false, keeping what it read so far, at a mailbox it cannot read;
    // SetFrom also when the text names other than one mailbox.
    bool SetFrom(std::string_view text);
    bool AddTo(std::string_view text) { return ParseMailboxes(text, to_); }
    bool AddCc(std::string_view text) { return ParseMailboxes(text, cc_); }
    bool AddBcc(std::string_view text) { return ParseMailboxes(text, bcc_); }
    void SetSubject(std::string_view text) { subject_ = text; }
    void SetBody(std::string_view text) { body_ = text; }
    // An attachment of bytes (kept alive by the caller until the message is
    // written), named name, of mediaType when that is a well-formed
    // type/subtype (else application/octet-stream).
    void AddAttachment(std::string_view name, std::string_view mediaType, std::string_view bytes);

    // Every address the message goes to: To, Cc and Bcc, in that order.
    std::vector<std::string> Addresses() const;

    // Writes the whole message, ended by the end-of-data line "."; file must
    // be open in binary mode, and write errors are left in its error
    // indicator. The Bcc recipients are not written. messageId is written
    // in angle brackets.
    void WriteTo(std::FILE* file, std::time_t date, const std::string& messageId) const;

private:
    struct Attachment {
        std::string name;
        std::string mediaType;
        std::string_view bytes;
    };

    Mailbox from_;
    std::vector<Mailbox> to_, cc_, bcc_;
    std::string subject_;
    std::string body_;
    std::vector<Attachment> attachments_;
};

// MailWriter's message: the form's fields read as UTF-8 (a value that is not
// valid UTF-8 read in the system code page), with Cc and Bcc besides To;
// the Message-ID names host.
class Utf8FormMessage : public FormMessage {
public:
    explicit Utf8FormMessage(std::string host) : host_(std::move(host)) {}
    PostOutcome ReadFields(const upload::PostedForm& form) override;
    std::vector<std::string> Addresses() const override { return message_.Addresses(); }
    void Attach(const upload::FormField& upload) override;
    void WriteTo(std::FILE* file) const override;

private:
    Utf8Message message_;
    std::string host_;
};

// A Message-ID unique to this message: the time, the process and random
// digits, "@" host.
std::string NewMessageId(const std::string& host);

}  // namespace tarnwick::sendmail
