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

}  // namespace

MultipartMessage::MultipartMessage() { RegisterStandardEncoders(LineWidth()); }

MultipartMessage::~MultipartMessage() = default;

void MultipartMessage::BuildHeaders() {
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
    BodyText() = preamble_ + kLineEnd + kLineEnd;
    RenderParts();
    std::string& body = BodyText();
    if (!EndsWithLineEnd(body)) body += kLineEnd;
    body += "--" + boundary_ + "--" + kLineEnd;
}

}  // namespace tarnwick::sendmail
