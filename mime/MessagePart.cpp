// The part tree of today's mail. See MessagePart.h.
#include "mime/MessagePart.h"

#include <cstring>
#include <new>

#include "mime/Codecs.h"
#include "mime/MimePart.h"
#include "text/NarrowText.h"

namespace tarnwick::mime {

MessagePart::MessagePart(const char* begin, const char* end) : MessagePart(begin, end, 0) {}

MessagePart::MessagePart(const char* begin, const char* end, int depth) {
    const char* cursor = begin;
    fields = ReadFields(cursor, end);
    const char* const body = cursor != nullptr ? cursor : end;

    const StructuredValue type = ContentType();
    const Parameter* boundary = FindParameter(type, "boundary");
    const bool multipart = MediaTypeOf(type).compare(0, 10, "multipart/") == 0;
    if (!multipart || boundary == nullptr || boundary->value.empty() || depth >= kMaxNestingDepth) {
        bodyBegin = body;
        bodyEnd = end;
        return;
    }
    SplitMultipartBody(body, end, boundary->value, DelimiterLines::WholeLine,
                       [&](const char* childBegin, const char* childEnd) {
                           std::unique_ptr<MessagePart> child(new (std::nothrow)
                                                                  MessagePart(childBegin, childEnd, depth + 1));
                           if (child) children.push_back(std::move(child));
                       });
}

StructuredValue MessagePart::ContentType() const {
    const Field* field = FindField("Content-Type");
    return field != nullptr ? ParseStructured(field->value) : StructuredValue();
}

std::string MessagePart::MediaType() const { return MediaTypeOf(ContentType()); }

std::string MediaTypeOf(const StructuredValue& contentType) {
    std::string type = contentType.value;
    // RFC 2045: a missing or invalid type (no subtype) is read as plain text.
    if (type.find('/') == std::string::npos) return "text/plain";
    for (char& c : type) c = text::LowerAscii(c);
    return type;
}

std::size_t DecodedCapacity(const MessagePart& part) {
    return part.bodyBegin != nullptr ? static_cast<std::size_t>(part.bodyEnd - part.bodyBegin) : 0;
}

TransferEncoding BodyEncoding(const MessagePart& part) {
    const Field* field = part.FindField("Content-Transfer-Encoding");
    return field != nullptr ? TransferEncodingOf(ParseStructured(field->value).value) : TransferEncoding::Identity;
}

std::size_t DecodeBodyInto(const MessagePart& part, char* out) {
    if (DecodedCapacity(part) == 0) return 0;
    const char* const begin = part.bodyBegin;
    const char* const end = part.bodyEnd;
    switch (BodyEncoding(part)) {
    case TransferEncoding::Base64:
        return Base64DecodeRange(begin, end, out);
    case TransferEncoding::QuotedPrintable:
        return QuotedPrintableDecodeRfc2045(begin, end, out);
    case TransferEncoding::Identity:
        break;
    }
    std::memcpy(out, begin, DecodedCapacity(part));
    return DecodedCapacity(part);
}

}  // namespace tarnwick::mime
