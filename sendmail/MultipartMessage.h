// The message that posting sends, written to a file in one pass:
//
//   From, To, Date, Subject, X-Mailer, MIME-Version and a multipart/mixed
//   Content-Type, an empty line, the preamble, then for each part a
//   delimiter line and the part (the typed text first, then the other texts,
//   the latest added first, then the attachments in the order added), the
//   closing delimiter and the end-of-data marker CR LF "." CR LF.
//
// Texts are narrow text in the system code page and are declared so; header
// values are written as given (8-bit bytes included), on one line each.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::sendmail {

// One recipient exactly as parsed from the To text (nothing trimmed).
struct Recipient {
    std::string address;
    std::string displayName;
};

class MultipartMessage {
public:
    void SetFrom(const std::string& from) { from_ = from; }
    void SetSubject(const std::string& subject) { subject_ = subject; }
    // The typed text: unless empty, the first part, trimmed like any other
    // (a message with no part at all gets an empty one).
    void SetBody(const std::string& body) { body_ = body; }

    // Splits the To text at ';', ',' and its end and appends a recipient
    // per token: "name<address>" or a bare address, kept exactly as written;
    // a token of blanks only is no recipient. False, leaving the rest
    // unread, at the first token with a "<" but no ">" after it.
    bool ParseRecipients(const std::string& toText);
    long RecipientCount() const { return static_cast<long>(recipients_.size()); }
    // False, outputs untouched, unless 0 <= index < RecipientCount().
    bool GetRecipient(long index, std::string& address, std::string& displayName) const;

    // Adds an attachment after the ones added so far: bytes, in base64,
    // named name (a quoted header value, not a file name). The caller keeps
    // the bytes alive and unchanged until the message is written.
    void AddAttachment(const std::string& name, std::string_view bytes);

    // Writes the whole message dated now, or dated date; file must be open
    // in binary mode, and write errors are left in its error indicator. A CR
    // or LF of the sender, the subject or a recipient is written as a space;
    // a header line that would pass kMaxLineBytes is folded. A text is sent
    // "7bit", "8bit" when it holds a byte from 0x80, and "quoted-printable"
    // when a line of it would still pass kMaxLineBytes after wrapping.
    void WriteTo(std::FILE* file) const;
    void WriteTo(std::FILE* file, std::time_t date) const;

private:
    struct Attachment {
        std::string name;
        std::string_view bytes;
    };

    std::string from_;
    std::string subject_;
    std::string body_;
    std::vector<Recipient> recipients_;
    std::vector<Attachment> attachments_;
};

}  // namespace tarnwick::sendmail
