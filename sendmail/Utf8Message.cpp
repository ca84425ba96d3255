#include "sendmail/Utf8Message.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "mime/Codecs.h"
#include "mime/HeaderWriting.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "sendmail/MessageText.h"
#include "sendmail/Posting.h"
#include "text/Charsets.h"
#include "text/NarrowText.h"

namespace tarnwick::sendmail {
namespace {

// Addresses longer than this are no addresses (RFC 5321 4.5.3.1.3).
constexpr std::size_t kMaxAddressBytes = 254;
// Plain ASCII text lines longer than this go quoted-printable (RFC 2045 6.7).
constexpr std::size_t kMaxPlainLineChars = 76;
// The ASCII stand-in for a file name, for readers that know no RFC 2231.
constexpr std::size_t kMaxFallbackNameChars = 60;
constexpr char kDefaultMediaType[] = "application/octet-stream";
// A media type's type and subtype names are at most this long (RFC 6838
// 4.2); a longer one posted would make its header line pass 998 bytes.
constexpr std::size_t kMaxMediaTypeNameChars = 127;
constexpr char kTextType[] = "text/plain; charset=UTF-8";

void Write(std::FILE* file, std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file); }

std::string_view Trimmed(std::string_view s) {
    const std::size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t\r\n") + 1 - begin);
}

bool IsAddress(std::string_view a) {
    const std::size_t at = a.find('@');
    if (a.size() > kMaxAddressBytes || at == 0 || at == std::string_view::npos || at + 1 == a.size() ||
        a.find('@', at + 1) != std::string_view::npos)
        return false;
    return std::all_of(a.begin(), a.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && std::string_view("<>(),;:\\\"").find(c) == std::string_view::npos;
    });
}

// A display name as written: a quoted string's quotes and escapes undone.
std::string DisplayName(std::string_view written) {
    written = Trimmed(written);
    if (written.size() < 2 || written.front() != '"' || written.back() != '"') return OneLine(std::string(written));
    std::string name;
    for (std::size_t i = 1; i + 1 < written.size(); ++i) {
        if (written[i] == '\\' && i + 2 < written.size()) ++i;
        name += written[i];
    }
    return OneLine(name);
}

bool ReadMailbox(std::string_view token, std::vector<Mailbox>& out) {
    token = Trimmed(token);
    if (token.empty()) return true;
    Mailbox mailbox;
    // The '<' that opens the address is the last one outside quotes.
    std::size_t open = std::string_view::npos;
    bool quoted = false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (quoted && token[i] == '\\') ++i;
        else if (token[i] == '"') quoted = !quoted;
        else if (!quoted && token[i] == '<') open = i;
    }
    if (open == std::string_view::npos) {
        mailbox.address = std::string(token);
    } else {
        const std::size_t close = token.find('>', open);
        if (close == std::string_view::npos || !Trimmed(token.substr(close + 1)).empty()) return false;
        mailbox.address = std::string(Trimmed(token.substr(open + 1, close - open - 1)));
        mailbox.displayName = DisplayName(token.substr(0, open));
    }
    if (!IsAddress(mailbox.address)) return false;
    out.push_back(std::move(mailbox));
    return true;
}

// The tokens of an address field: each mailbox's name, then its address.
std::vector<std::string> MailboxTokens(const std::vector<Mailbox>& mailboxes, std::size_t firstRoom) {
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < mailboxes.size(); ++i) {
        const Mailbox& m = mailboxes[i];
        const std::size_t room = tokens.empty() ? firstRoom : mime::kFoldWidth - 1;
        std::string address = m.address;
        if (!m.displayName.empty()) {
            for (std::string& t : mime::PhraseTokens(m.displayName, room)) tokens.push_back(std::move(t));
            address = "<" + address + ">";
        }
        if (i + 1 < mailboxes.size()) address += ',';
        tokens.push_back(address);
    }
    return tokens;
}

std::string Field(std::string_view name, const std::vector<std::string>& tokens) {
    return mime::FoldedField(name, tokens) + kLineEnd;
}

// A file name's stand-in of printable ASCII: every other character '_', a
// long one cut before its extension.
std::string AsciiFallback(std::string_view utf8) {
    std::string name;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
            name += '_';
        } else {
            name += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '_';
        }
    }
    if (name.size() > kMaxFallbackNameChars) {
        const std::size_t dot = name.rfind('.');
        const std::string extension =
            dot != std::string::npos && name.size() - dot <= 10 ? name.substr(dot) : std::string();
        name = name.substr(0, kMaxFallbackNameChars - extension.size()) + extension;
    }
    return name;
}

bool NeedsQuotedPrintable(std::string_view text) {
    std::size_t column = 0;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
        if (c == '\n') {
            column = 0;
        } else if (c != '\r' && ++column > kMaxPlainLineChars) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseMailboxes(std::string_view text, std::vector<Mailbox>& out) {
    std::size_t start = 0;
    bool quoted = false, inAngle = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size()) {
            const char c = text[i];
            // A backslash in quotes takes the next character with it (one
            // at the very end is only itself, so the last mailbox is read).
            if (quoted && c == '\\' && i + 1 < text.size()) {
                ++i;
                continue;
            }
            if (c == '"' && !inAngle) quoted = !quoted;
            if (!quoted && c == '<') inAngle = true;
            if (!quoted && c == '>') inAngle = false;
            if (quoted || inAngle || (c != ',' && c != ';')) continue;
        }
        if (!ReadMailbox(text.substr(start, std::min(i, text.size()) - start), out)) return false;
        start = i + 1;
    }
    return true;
}

bool Utf8Message::SetFrom(std::string_view text) {
    std::vector<Mailbox> found;
    if (!ParseMailboxes(text, found) || found.size() != 1) return false;
    from_ = found.front();
    return true;
}

void Utf8Message::AddAttachment(std::string_view name, std::string_view mediaType, std::string_view bytes) {
    const std::size_t slash = mediaType.find('/');
    // A message or multipart type would tell readers to parse the base64 text
    // as a message (which may be written in no other encoding): those files
    // go as plain bytes.
    const std::string_view top = mediaType.substr(0, slash);
    const bool container = text::EqualIgnoringAsciiCase(top, "message") || text::EqualIgnoringAsciiCase(top, "multipart");
    const bool wellFormed = mime::IsMediaType(mediaType) && !container && slash <= kMaxMediaTypeNameChars &&
                            mediaType.size() - slash - 1 <= kMaxMediaTypeNameChars;
    const std::string type = wellFormed ? std::string(mediaType) : kDefaultMediaType;
    attachments_.push_back(Attachment{std::string(name), type, bytes});
}

std::vector<std::string> Utf8Message::Addresses() const {
    std::vector<std::string> addresses;
    for (const auto* list : {&to_, &cc_, &bcc_})
        for (const Mailbox& m : *list) addresses.push_back(m.address);
    return addresses;
}

void Utf8Message::WriteTo(std::FILE* file, std::time_t date, const std::string& messageId) const {
    if (file == nullptr) return;
    std::string header = Field("From", MailboxTokens({from_}, mime::FirstTokenRoom("From")));
    if (!to_.empty()) header += Field("To", MailboxTokens(to_, mime::FirstTokenRoom("To")));
    if (!cc_.empty()) header += Field("Cc", MailboxTokens(cc_, mime::FirstTokenRoom("Cc")));
    header += Field("Subject", mime::TextTokens(OneLine(subject_), mime::FirstTokenRoom("Subject")));
    header += "Date: " + FormatDate(date) + kLineEnd;
    header += "Message-ID: <" + messageId + ">" + kLineEnd;
    header += std::string("MIME-Version: 1.0") + kLineEnd + "X-Mailer: " + kMailerName + kLineEnd;

    // The text as typed, every line kept: quoted-printable unless it is
    // ASCII in short lines. A line starting with '.' is written "=2E", or
    // dot-stuffed in 7bit, for the mail server that collects the file.
    const std::string text = WithCrLfLineEnds(body_);
    std::string body, encoding = "7bit";
    if (NeedsQuotedPrintable(text)) {
        encoding = "quoted-printable";
        mime::QuotedPrintableEncode(text, body);
    } else {
        body = StuffDots(text);
    }
    const std::string textHeader = std::string("Content-Type: ") + kTextType + kLineEnd +
                                   "Content-Transfer-Encoding: " + encoding + kLineEnd + kLineEnd;

    if (attachments_.empty()) {
        Write(file, header + textHeader + body);
        // The end-of-data line's own line break ends the text's last line.
        Write(file, body.empty() || body.back() == '\n' ? kEndOfData + 2 : kEndOfData);
        return;
    }
    const std::string boundary = BoundaryAvoiding({body});
    Write(file, header +
                    Field("Content-Type", {"multipart/mixed;", "boundary=" + mime::QuotedText(boundary)}) +
                    kLineEnd + kPreamble + kLineEnd);
    const std::string delimiter = std::string(kLineEnd) + "--" + boundary + kLineEnd;
    Write(file, delimiter + textHeader + body);
    for (const Attachment& a : attachments_) {
        const std::string fallback = AsciiFallback(a.name);
        std::vector<std::string> type{a.mediaType + ";"}, disposition{"attachment;"};
        for (std::string& t : mime::ParameterTokens("name", fallback)) type.push_back(std::move(t));
        for (std::string& t : mime::ParameterTokens("filename", a.name)) disposition.push_back(std::move(t));
        Write(file, delimiter + Field("Content-Type", type) + "Content-Transfer-Encoding: base64" + kLineEnd +
                        Field("Content-Disposition", disposition) + kLineEnd);
        mime::Base64EncodeMimeLinesToStream(a.bytes.data(), a.bytes.data() + a.bytes.size(), file);
    }
    Write(file, std::string(kLineEnd) + "--" + boundary + "--" + kLineEnd + (kEndOfData + 2));
}

namespace {

// A field's whole value as UTF-8. A zero byte, which no mail text may hold,
// becomes U+FFFD, so nothing typed after it is lost.
std::string FieldText(const upload::PostedForm& form, std::string_view name) {
    const upload::FieldText value = form.Value(name);
    if (value.data == nullptr || value.length <= 0) return std::string();
    std::string text = text::RawTextToUtf8(std::string_view(value.data, static_cast<std::size_t>(value.length)));
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at + 3))
        text.replace(at, 1, "\xEF\xBF\xBD");
    return text;
}

// What follows a file path's last '/' or '\' (a browser may send the whole
// path): UTF-8 holds neither byte inside a character.
std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    return path;
}

}  // namespace

PostOutcome Utf8FormMessage::ReadFields(const upload::PostedForm& form) {
    if (!message_.SetFrom(FieldText(form, "From")) || !message_.AddTo(FieldText(form, "To")) ||
        !message_.AddCc(FieldText(form, "Cc")) || !message_.AddBcc(FieldText(form, "Bcc")))
        return PostOutcome::kUnreadableAddress;
    message_.SetSubject(FieldText(form, "Subject"));
    message_.SetBody(FieldText(form, "Body"));
    return message_.Addresses().empty() ? PostOutcome::kNoRecipient : PostOutcome::kSent;
}

void Utf8FormMessage::Attach(const upload::FormField& upload) {
    // Browsers send a quote in a file name as "%22" (and escape nothing else
    // a name may hold).
    std::string name(BaseName(text::RawTextToUtf8(upload.fileName)));
    for (std::size_t at = name.find("%22"); at != std::string::npos; at = name.find("%22", at + 1))
        name.replace(at, 3, "\"");
    if (name.empty()) name = kUnnamedAttachment;
    message_.AddAttachment(name, upload.contentType,
                           std::string_view(upload.dataStart, static_cast<std::size_t>(upload.dataLength)));
}

void Utf8FormMessage::WriteTo(std::FILE* file) const {
    message_.WriteTo(file, platform::CurrentTime(), NewMessageId(host_));
}

std::string NewMessageId(const std::string& host) {
    static std::atomic<unsigned> counter{0};
    unsigned char random[8] = {};
    if (!platform::RandomBytes(random, sizeof random)) {
        // Without the system's random bytes, a count keeps two of this
        // process's messages apart.
        const unsigned n = ++counter;
        for (std::size_t i = 0; i < sizeof n; ++i) random[i] = static_cast<unsigned char>(n >> (8 * i));
    }
    char hex[2 * sizeof random + 1];
    for (std::size_t i = 0; i < sizeof random; ++i) std::snprintf(hex + 2 * i, 3, "%02x", random[i]);
    return UniqueTimeDigits() + "." + std::to_string(platform::CurrentProcessId()) + "." + hex + "@" + host;
}

}  // namespace tarnwick::sendmail
