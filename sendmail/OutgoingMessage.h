// An outgoing RFC 822 message: sender, recipients, subject, date and the
// header block built from them. The body belongs to the derived message.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace tarnwick::sendmail {

constexpr char kMailerName[] = "Quorbel Post";
// Line width of the text part.
constexpr int kLineWidth = 76;
// The formatted date must fit this buffer, terminator included.
constexpr std::size_t kDateBufferBytes = 128;

// One recipient exactly as parsed from the To text (nothing trimmed).
struct Recipient {
    std::string address;
    std::string displayName;
};

// The Date header value: t as local time in the form
// "Mon, 05 Mar 01 02:08:09 EST". Day and month names are always English,
// whatever the process locale; the zone name is the runtime library's "%Z".
// Empty when the time cannot be converted or the result would not fit
// kDateBufferBytes.
std::string FormatDate(std::time_t t);

class OutgoingMessage {
public:
    // Where the Date header takes the current time from.
    using TimeSource = std::time_t (*)();

    OutgoingMessage();
    OutgoingMessage(const OutgoingMessage&) = delete;
    OutgoingMessage& operator=(const OutgoingMessage&) = delete;

    virtual ~OutgoingMessage();
    // Appends the From, To, Date, Subject and X-Mailer lines to the header
    // text; the date is taken from the time source first. A CR or LF of the
    // sender, the subject or a recipient is written as a space.
    virtual void BuildHeaders();
    // The body, composed in memory into the body text.
    virtual void ComposeBody() = 0;
    // The body, written to file.
    virtual void WriteBody(std::FILE* file) = 0;
    // The end-of-data marker "\r\n.\r\n".
    virtual void WriteEnd(std::FILE* file);
    // The empty line that ends the header block.
    virtual void EndHeaders();
    virtual void ClearHeaders();
    // Appends line and CR LF to the header text.
    virtual void AddHeaderLine(const std::string& line);

    // Splits the To text at ';', ',' and its end and appends a recipient
    // per token: "name<address>" or a bare address. False, leaving the rest
    // unread, at the first token with a "<" but no ">" after it.
    bool ParseRecipients(const std::string& toText);
    void AddRecipient(const std::string& address, const std::string& displayName);
    long RecipientCount() const;
    // False, outputs untouched, unless 0 <= index < RecipientCount().
    bool GetRecipient(long index, std::string& address, std::string& displayName) const;

    // Writes the whole message: header block, body, end-of-data marker.
    // Bytes go out unchanged; file must be open in binary mode. The body
    // adds the text part to the message, so a message is written once.
    void WriteTo(std::FILE* file);

    void SetFrom(const std::string& from) { from_ = from; }
    void SetSubject(const std::string& subject) { subject_ = subject; }
    void SetBody(const std::string& body) { body_ = body; }
    void SetTimeSource(TimeSource source) { timeSource_ = source; }

    const std::string& From() const { return from_; }
    const std::string& Subject() const { return subject_; }
    const std::string& Body() const { return body_; }
    const std::string& MailerName() const { return mailer_; }
    const std::string& HeaderText() const { return header_; }
    std::time_t Date() const { return date_; }
    int LineWidth() const { return lineWidth_; }

protected:
    std::string& BodyText() { return body_; }

private:
    std::string from_;
    std::string subject_;
    std::string mailer_ = kMailerName;
    std::string header_;
    std::time_t date_ = 0;
    std::string body_;
    int lineWidth_ = kLineWidth;
    std::vector<Recipient> recipients_;
    TimeSource timeSource_;
};

}  // namespace tarnwick::sendmail
