// The message that posting sends, written to a file in one pass:
//
//   From, To, Date, Subject, X-Mailer, MIME-Version and a multipart/mixed
//   Content-Type, an empty line, the preamble, then for each part a
//   delimiter line and the part (the typed text first, then the other texts,
//   the latest added first, then the files in the order added), the closing
//   delimiter and the end-of-data marker CR LF "." CR LF.
#pragma once

#include <cstdio>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace tarnwick::sendmail {

// What AddPart is given: a text ("text/plain" in "7Bit", wrapped at 76 bytes
// and dot-stuffed) or the path of a file to attach (base64).
constexpr int kTextPartCode = 0;
constexpr int kAttachmentCode = 1;

// One recipient exactly as parsed from the To text (nothing trimmed).
struct Recipient {
    std::string address;
    std::string displayName;
};

class MultipartMessage {
public:
    void SetFrom(const std::string& from) { from_ = from; }
    void SetSubject(const std::string& subject) { subject_ = subject; }
    // The typed text: unless empty, the first part, trimmed like any other.
    void SetBody(const std::string& body) { body_ = body; }

    // Splits the To text at ';', ',' and its end and appends a recipient
    // per token: "name<address>" or a bare address. False, leaving the rest
    // unread, at the first token with a "<" but no ">" after it.
    bool ParseRecipients(const std::string& toText);
    long RecipientCount() const { return static_cast<long>(recipients_.size()); }
    // False, outputs untouched, unless 0 <= index < RecipientCount().
    bool GetRecipient(long index, std::string& address, std::string& displayName) const;

    // Adds a part holding data without leading and trailing white space. A
    // text (kTextPartCode) goes ahead of the parts added so far (the typed
    // text still comes first), with suffix written straight after its
    // content type; a file (kAttachmentCode) goes after them, and suffix is
    // not used. Any other code adds nothing.
    void AddPart(const std::string& data, int code, const std::string& suffix);

    // Writes the whole message dated now, or dated date; file must be open
    // in binary mode, and write errors are left in its error indicator. A CR
    // or LF of the sender, the subject or a recipient is written as a space.
    // A file that cannot be mapped (an empty one included) keeps its
    // delimiter line and gives nothing more.
    void WriteTo(std::FILE* file) const;
    void WriteTo(std::FILE* file, std::time_t date) const;

private:
    struct Part {
        int code;
        std::string suffix;
        std::string data;   // the text itself, or the path of the file
    };

    std::string from_;
    std::string subject_;
    std::string body_;
    std::vector<Recipient> recipients_;
    std::deque<Part> parts_;
};

}  // namespace tarnwick::sendmail
