// The part tree of a message as mail software writes it today: each part's
// header read by current/Header.h's rules, multipart bodies split at the boundary
// of the Content-Type field whatever its parameter order, case or folding.
// Like stored::Part, the tree copies only header text: bodies point into the
// caller's bytes, which must outlive the tree, and nothing is read outside
// the range a part was built over.
#pragma once

#include <memory>
#include <vector>

#include "mime/Codecs.h"
#include "mime/current/Header.h"

namespace tarnwick::mime::current {

class Part {
public:
    Part(const char* begin, const char* end);
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    std::vector<Field> fields;
    std::vector<std::unique_ptr<Part>> children;
    // The body; both null for a part that was split into children.
    const char* bodyBegin = nullptr;
    const char* bodyEnd = nullptr;

    const Field* FindField(std::string_view name) const { return mime::current::FindField(fields, name); }
    // The parsed Content-Type (empty value when the part has none) and its
    // media type in lower case ("text/plain" when the part gives none, or
    // one without a subtype).
    StructuredValue ContentType() const;
    std::string MediaType() const;

private:
    Part(const char* begin, const char* end, int depth);
};

// The media type of a parsed Content-Type, as Part::MediaType gives it.
std::string MediaTypeOf(const StructuredValue& contentType);

// The bytes DecodeBodyInto may write for part (0 for a part that was split).
std::size_t DecodedCapacity(const Part& part);
// The part's Content-Transfer-Encoding (TransferEncodingOf of the value
// before any ';'; Identity without the field).
TransferEncoding BodyEncoding(const Part& part);
// The part's body decoded by its BodyEncoding: base64 as a stored::Part's body, quoted-printable
// by RFC 2045 (QuotedPrintableDecodeRfc2045), anything else copied; returns
// the count.
std::size_t DecodeBodyInto(const Part& part, char* out);

}  // namespace tarnwick::mime::current
