#include "sendmail/MultipartMessage.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "mime/Codecs.h"
#include "platform/Charset.h"
#include "platform/Clock.h"
#include "sendmail/MessageText.h"
#include "text/Charsets.h"

namespace tarnwick::sendmail {
namespace {

constexpr int kLineWidth = 76;   // of the text part

void Write(std::FILE* file, std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file); }

void WriteText(std::FILE* file, const std::string& text) {
    const std::string wrapped = WrapText(WithCrLfLineEnds(text), kLineWidth);
    const std::string type = "; charset=" + text::CharsetOfCodePage(platform::kSystemCodePage);
    std::string body = StuffDots(wrapped), encoding;
    if (HasOverlongLine(body)) {
        // No line of a message may be that long: only soft breaks can cut it.
        encoding = "quoted-printable";
        body.clear();
        mime::QuotedPrintableEncode(wrapped, body);
    } else {
        const bool eightBit = std::any_of(body.begin(), body.end(), [](char c) { return (c & 0x80) != 0; });
        encoding = eightBit ? "8bit" : "7bit";
    }
    Write(file, "Content-Type: text/plain" + type + kLineEnd + "Content-Transfer-Encoding: " + encoding + kLineEnd +
                    kLineEnd);
    Write(file, body);
    Write(file, kLineEnd);
}

void WriteAttachment(std::FILE* file, const std::string& name, std::string_view bytes) {
    const std::string quoted = QuotedString(name);
    Write(file, "Content-Type: application/octet-stream; file=" + quoted + kLineEnd +
                    "Content-Transfer-Encoding: base64" + kLineEnd +
                    "Content-Disposition: attachment; filename=" + quoted + kLineEnd + kLineEnd);
    mime::Base64EncodeToStream(bytes.data(), bytes.data() + bytes.size(), file);
    Write(file, kLineEnd);
}

}  // namespace

bool MultipartMessage::ParseRecipients(const std::string& toText) {
    // Every text has at least one token: the end of the text closes the
    // last one, so a separator at the very end gives a last, empty token.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= toText.size(); ++i) {
        if (i < toText.size() && toText[i] != ';' && toText[i] != ',') continue;
        const std::string token = toText.substr(start, i - start);
        start = i + 1;
        if (token.find_first_not_of(" \t") == std::string::npos) continue;
        const std::size_t open = token.find('<');
        if (open == std::string::npos) {
            recipients_.push_back(Recipient{token, std::string()});
            continue;
        }
        const std::size_t close = token.find('>');
        if (close == std::string::npos || close < open) return false;
        recipients_.push_back(Recipient{token.substr(open + 1, close - open - 1), token.substr(0, open)});
    }
    return true;
}

bool MultipartMessage::GetRecipient(long index, std::string& address, std::string& displayName) const {
    if (index < 0 || index >= RecipientCount()) return false;
    const Recipient& r = recipients_[static_cast<std::size_t>(index)];
    address = r.address;
    displayName = r.displayName;
    return true;
}

void MultipartMessage::AddAttachment(const std::string& name, std::string_view bytes) {
    attachments_.push_back(Attachment{name, bytes});
}

void MultipartMessage::WriteTo(std::FILE* file) const { WriteTo(file, platform::CurrentTime()); }

void MultipartMessage::WriteTo(std::FILE* file, std::time_t date) const {
    if (file == nullptr) return;
    const std::string text = TrimWhiteSpace(body_);

    // No line of the text may pass for a delimiter. Wrapping and
    // dot-stuffing neither make nor change a run of the boundary's letters
    // and digits, so the text as stored will do.
    const std::string boundary = BoundaryAvoiding({text});

    std::string to = "To: ";
    for (std::size_t i = 0; i < recipients_.size(); ++i) {
        if (i != 0) to += ',';
        to += OneLine(recipients_[i].displayName) + "<" + OneLine(recipients_[i].address) + ">";
    }
    Write(file, FoldHeaderLine("From: " + OneLine(from_), false) + kLineEnd + FoldHeaderLine(to, true) + kLineEnd +
                    "Date: " + FormatDate(date) + kLineEnd + FoldHeaderLine("Subject: " + OneLine(subject_), false) +
                    kLineEnd + "X-Mailer: " + kMailerName + kLineEnd +
                    "MIME-Version: 1.0" + kLineEnd + "Content-Type: multipart/mixed; boundary=" + boundary +
                    kLineEnd + kLineEnd + kPreamble + kLineEnd + kLineEnd);

    const std::string delimiter = "--" + boundary + kLineEnd;
    // A multipart holds at least one part: a message of nothing gets an
    // empty text.
    if (!body_.empty() || attachments_.empty()) {
        Write(file, delimiter);
        WriteText(file, text);
    }
    for (const Attachment& attachment : attachments_) {
        Write(file, delimiter);
        WriteAttachment(file, attachment.name, attachment.bytes);
    }
    Write(file, "--" + boundary + "--" + kLineEnd + kEndOfData);
}

}  // namespace tarnwick::sendmail
