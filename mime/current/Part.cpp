// The part tree of today's mail. See Part.h.
#include "mime/current/Part.h"

#include <new>

#include "mime/Codecs.h"
#include "mime/stored/Part.h"
#include "text/NarrowText.h"

namespace tarnwick::mime::current {

Part::Part(const char* begin, const char* end) : Part(begin, end, 0) {}

Part::Part(const char* begin, const char* end, int depth) {
    const char* cursor = begin;
    fields = ReadFields(cursor, end);
    const char* const body = cursor != nullptr ? cursor : end;

    const StructuredValue type = ContentType();
    const Parameter* boundary = FindParameter(type, "boundary");
    const bool multipart = MediaTypeOf(type).compare(0, 10, "multipart/") == 0;
    if (!multipart || boundary == nullptr || boundary->value.empty() || depth >= stored::kMaxNestingDepth) {
        bodyBegin = body;
        bodyEnd = end;
        return;
    }
    stored::SplitMultipartBody(body, end, boundary->value, stored::DelimiterLines::WholeLine,
                       [&](const char* childBegin, const char* childEnd) {
                           std::unique_ptr<Part> child(new (std::nothrow)
                                                                  Part(childBegin, childEnd, depth + 1));
                           if (child) children.push_back(std::move(child));
                       });
}

StructuredValue Part::ContentType() const {
    const Field* field = FindField("Content-Type");
    return field != nullptr ? ParseStructured(field->value) : StructuredValue();
}

std::string Part::MediaType() const { return MediaTypeOf(ContentType()); }

std::string MediaTypeOf(const StructuredValue& contentType) {
    std::string type = contentType.value;
    // RFC 2045: a missing or invalid type (no subtype) is read as plain text.
    if (type.find('/') == std::string::npos) return "text/plain";
    for (char& c : type) c = text::LowerAscii(c);
    return type;
}

std::size_t DecodedCapacity(const Part& part) {
    return part.bodyBegin != nullptr ? static_cast<std::size_t>(part.bodyEnd - part.bodyBegin) : 0;
}

TransferEncoding BodyEncoding(const Part& part) {
    const Field* field = part.FindField("Content-Transfer-Encoding");
    return field != nullptr ? TransferEncodingOf(ParseStructured(field->value).value) : TransferEncoding::Identity;
}

std::size_t DecodeBodyInto(const Part& part, char* out) {
    if (DecodedCapacity(part) == 0) return 0;
    return DecodeBodyRange(BodyEncoding(part), part.bodyBegin, part.bodyEnd, out, QuotedPrintableDecodeRfc2045);
}

}  // namespace tarnwick::mime::current
