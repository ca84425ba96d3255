// The part tree of a message as mail software writes it today: each part's
// header read by HeaderText's rules, multipart bodies split at the boundary
// of the Content-Type field whatever its parameter order, case or folding.
// Like MimePart, the tree copies only header text: bodies point into the
// caller's bytes, which must outlive the tree, and nothing is read outside
// the range a part was built over.
#pragma once

#include <memory>
#include <vector>

#include "mime/Codecs.h"
#include "mime/HeaderText.h"

namespace tarnwick::mime {

class MessagePart {
public:
    MessagePart(const char* begin, const char* end);
    MessagePart(const MessagePart&) = delete;
    MessagePart& operator=(const MessagePart&) = delete;

    std::vector<Field> fields;
    std::vector<std::unique_ptr<MessagePart>> children;
    // The body; both null for a part that was split into children.
    const char* bodyBegin = nullptr;
    const char* bodyEnd = nullptr;

    const Field* FindField(std::string_view name) const { return mime::FindField(fields, name); }
    // The parsed Content-Type (empty value when the part has none) and its
    // media type in lower case ("text/plain" when the part gives none, or
    // one without a subtype).
    StructuredValue ContentType() const;
    std::string MediaType() const;

private:
    MessagePart(const char* begin, const char* end, int depth);
};

// The media type of a parsed Content-Type, as MessagePart::MediaType gives it.
std::string MediaTypeOf(const StructuredValue& contentType);

// The bytes DecodeBodyInto may write for part (0 for a part that was split).
std::size_t DecodedCapacity(const MessagePart& part);
// The part's Content-Transfer-Encoding (TransferEncodingOf of the value
// before any ';'; Identity without the field).
TransferEncoding BodyEncoding(const MessagePart& part);
// The part's body decoded by its BodyEncoding: base64 as a MimePart's body, quoted-printable
// by RFC 2045 (QuotedPrintableDecodeRfc2045), anything else copied; returns
// the count.
std::size_t DecodeBodyInto(const MessagePart& part, char* out);

}  // namespace tarnwick::mime
