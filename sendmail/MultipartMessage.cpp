#include "sendmail/MultipartMessage.h"

#include <utility>

#include "sendmail/EncoderRegistry.h"

namespace tarnwick::sendmail {
namespace {

constexpr char kLineEnd[] = "\r\n";

void Write(const std::string& bytes, std::FILE* file) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
}

bool EndsWithLineEnd(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, kLineEnd) == 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string BoundaryAvoiding(const std::vector<std::string_view>& texts) {
    // kBoundary followed by digits occurs in a text exactly when the digits
    // are a prefix of the digit run after some occurrence of kBoundary.
    const std::string_view fixed(kBoundary);
    std::vector<std::string_view> runs;
    for (std::string_view text : texts)
        for (std::size_t at = text.find(fixed); at != std::string_view::npos; at = text.find(fixed, at + 1)) {
            std::size_t end = at + fixed.size();
            while (end < text.size() && IsDigit(text[end])) ++end;
            runs.push_back(text.substr(at + fixed.size(), end - at - fixed.size()));
        }
    if (runs.empty()) return kBoundary;

    // Digit by digit, the one that the fewest remaining runs have next: at
    // most a tenth of them stay, so the work shrinks geometrically and the
    // digits stay few however many runs a hostile text holds.
    std::string digits;
    while (!runs.empty()) {
        const std::size_t k = digits.size();
        std::size_t count[10] = {};
        for (std::string_view run : runs)
            if (run.size() > k) ++count[run[k] - '0'];
        int best = 0;
        for (int d = 1; d < 10; ++d)
            if (count[d] < count[best]) best = d;
        const char digit = static_cast<char>('0' + best);
        digits += digit;
        std::vector<std::string_view> left;
        left.reserve(count[best]);
        for (std::string_view run : runs)
            if (run.size() > k && run[k] == digit) left.push_back(run);
        runs.swap(left);
    }
    return kBoundary + digits;
}

MultipartMessage::MultipartMessage() { RegisterStandardEncoders(LineWidth()); }

MultipartMessage::~MultipartMessage() = default;

void MultipartMessage::BuildHeaders() {
    ChooseBoundary();
    OutgoingMessage::BuildHeaders();
    AddHeaderLine("MIME-Version: 1.0");
    AddHeaderLine("Content-Type: " + contentType_ + "; boundary=" + boundary_);
}

bool MultipartMessage::AddPart(const std::string& data, int code, const std::string& suffix) {
    PartEntry entry{code, suffix, TrimWhiteSpace(data)};
    if (code == kTextPartCode)
        parts_.push_front(std::move(entry));
    else
        parts_.push_back(std::move(entry));
    return true;
}

void MultipartMessage::AddBodyTextPart() {
    if (!Body().empty()) AddPart(Body(), kTextPartCode, std::string());
    bodyAdded_ = true;
}

void MultipartMessage::ChooseBoundary() {
    // Trimming, wrapping and dot-stuffing neither make nor change a run of
    // the boundary's letters and digits, so the texts as stored will do, and
    // the body gives the same runs before and after it joins the parts: the
    // header and the body agree on the boundary.
    std::vector<std::string_view> texts;
    if (!bodyAdded_) texts.push_back(Body());
    for (const PartEntry& part : parts_)
        if (part.code == kTextPartCode) texts.push_back(part.data);
    boundary_ = BoundaryAvoiding(texts);
}

void MultipartMessage::WriteBoundary(std::FILE* file) { Write("--" + boundary_ + kLineEnd, file); }

void MultipartMessage::WriteParts(std::FILE* file) {
    const EncoderRegistry& registry = ProcessEncoderRegistry();
    for (const PartEntry& part : parts_) {
        const PartEncoder* encoder = registry.Find(part.code);
        if (encoder == nullptr) continue;   // no encoder, no part, no boundary
        WriteBoundary(file);
        encoder->RenderToFile(part.data, part.suffix, file);
    }
}

void MultipartMessage::WriteBody(std::FILE* file) {
    AddBodyTextPart();
    ChooseBoundary();
    Write(preamble_ + kLineEnd + kLineEnd, file);
    WriteParts(file);
    Write("--" + boundary_ + "--" + kLineEnd, file);
}

void MultipartMessage::RenderParts() {
    const EncoderRegistry& registry = ProcessEncoderRegistry();
    std::string& body = BodyText();
    for (const PartEntry& part : parts_) {
        const PartEncoder* encoder = registry.Find(part.code);
        if (encoder == nullptr) continue;
        if (!EndsWithLineEnd(body)) body += kLineEnd;
        body += "--" + boundary_ + kLineEnd;
        encoder->RenderToText(part.data, part.suffix, body);
    }
}

void MultipartMessage::ComposeBody() {
    AddBodyTextPart();
    ChooseBoundary();
    BodyText() = preamble_ + kLineEnd + kLineEnd;
    RenderParts();
    std::string& body = BodyText();
    if (!EndsWithLineEnd(body)) body += kLineEnd;
    body += "--" + boundary_ + "--" + kLineEnd;
}

}  // namespace tarnwick::sendmail
