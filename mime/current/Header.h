// Header fields as mail software writes them today (RFC 5322, 2045, 2047,
// 2231): folded lines joined, names compared without regard to ASCII case,
// every parameter of a structured field in any order, quoted strings with
// their escapes, parameter continuations with their charset, and every
// encoded word decoded in its own charset to UTF-16.
//
// Nothing is cut to a fixed size but a field's unfolded length
// (kMaxFieldBytes), which keeps hostile input bounded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::mime::current {

// An unfolded field keeps at most this many bytes: far beyond any header a
// mail client writes (long recipient lists run to a few KiB), small enough
// that a message of one endless header line costs no more than its size.
constexpr std::size_t kMaxFieldBytes = 64 * 1024;

struct Field {
    std::string name;    // as written
    std::string value;   // unfolded: each line break before a blank removed; outer blanks trimmed
};

// Reads the header block that starts at cursor: "name: value" lines, a line
// that begins with a blank continuing the field before it. Afterwards cursor
// points just past the empty line that ends the block, at a line that is no
// field (a block that lacks its empty line: the body starts there), or is
// null when the range ended first. An mbox "From " line at the start is
// passed over.
std::vector<Field> ReadFields(const char*& cursor, const char* end);

// The first field named name, ASCII letter case ignored; null when none.
const Field* FindField(const std::vector<Field>& fields, std::string_view name);

struct Parameter {
    std::string name;      // lower case, without the RFC 2231 "*" and section number
    std::string value;     // unquoted (escapes resolved); RFC 2231 sections joined and %XX decoded
    std::string charset;   // the RFC 2231 charset; empty when none was given
    bool extended = false; // given as name*= or name*0*=: value is in charset
};

struct StructuredValue {
    std::string value;   // before the first ';' (outside quotes), blanks and comments removed
    std::vector<Parameter> parameters;   // in order of first appearance, one per name
};

// Parses a structured field value: "type/subtype; a=1; b*=utf-8''%E4..." or
// "attachment; filename=\"x\"". A parameter named twice keeps its first value.
StructuredValue ParseStructured(std::string_view fieldValue);

// The parameter named name (ASCII case ignored); null when none.
const Parameter* FindParameter(const StructuredValue& value, std::string_view name);

// Unstructured header text (Subject, a display name) to UTF-16: every
// RFC 2047 encoded word ("=?charset?B|Q?text?=", with an optional
// "*language") decoded in its charset, blanks between two adjacent encoded
// words dropped, other text read as raw text (UTF-8 when valid, else the
// system code page). A malformed word stays as it is written.
std::u16string DecodeHeaderText(std::string_view text);

// A parameter's value to UTF-16: an extended value in its charset, any other
// value through DecodeHeaderText (clients put encoded words in quoted names).
std::u16string ParameterText(const Parameter& parameter);

}  // namespace tarnwick::mime::current
