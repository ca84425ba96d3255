// MIME header fields and parameters: the line reader, the
// header-block parser, the known-name table, RFC 2047 encoded-word decoding
// and the field look-up.
//
// A line is read, and a value is decoded and handed to callers, in a fixed
// 255-byte buffer: a text of at most 254 bytes and its terminating zero. All
// copying into these buffers is bounded; longer text is cut. A stored field
// keeps only its value's own bytes, and its name is a slot of the table.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "text/Limits.h"

namespace tarnwick::mime::stored {

class Part;

// One line as ReadLine delivers it, a field's name and its value: each a text
// of at most 254 bytes and its terminating zero (see text/Limits.h).
constexpr std::size_t kLineBytes = text::kHeaderBufferBytes;
constexpr std::size_t kNameBytes = text::kHeaderBufferBytes;
constexpr std::size_t kValueBytes = text::kHeaderBufferBytes;
constexpr std::size_t kMaxTextBytes = text::kMaxHeaderTextBytes;

// The 17 names a field may have, each in a 255-byte slot (zero-padded), in
// a fixed order. Header and parameter names share the table.
constexpr std::size_t kKnownFieldCount = 17;
extern const char KnownFieldNames[kKnownFieldCount][kNameBytes];

// Reads the next line of [cursor, end) into line (zero-filled first):
// leading tab, space, CR and LF skipped; at most 254 bytes copied; a line of
// at most 254 bytes is cut at its first CR. A line ends at its LF or, for
// the text after the last LF, at end. Returns true with cursor just past the
// line's LF, or null after that final unterminated line. Returns false, with
// cursor set to null, when cursor is null or already at end.
bool ReadLine(const char*& cursor, const char* end, char (&line)[kLineBytes]);

// One stored header field or parameter. Only names of KnownFieldNames are
// ever stored: the factory returns null for any other name (and when the
// object cannot be allocated). Never changed after construction. The value
// is stored by its length (at most 254 bytes, no zero byte), the name as the
// table's slot.
class Field {
public:
    // name and value are zero-terminated; the value is stored through
    // DecodeEncodedWord.
    static std::unique_ptr<Field> Create(const char* name, const char* value);
    // Exact, case-sensitive byte comparison with the 17 slots, nothing trimmed.
    static bool IsKnownName(const char* name);
    // The name's position in KnownFieldNames, or -1 when it is not there.
    static int KnownNameIndex(const char* name);

    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    const char* Name() const { return KnownFieldNames[nameIndex_]; }
    int NameIndex() const { return nameIndex_; }
    const char* Value() const { return value_.c_str(); }
    std::size_t ValueSize() const { return value_.size(); }

private:
    Field(int nameIndex, const char* value, std::size_t size) : nameIndex_(nameIndex), value_(value, size) {}
    int nameIndex_;
    std::string value_;
};

// Stores value in stored (zero-filled first), decoding the value's first
// RFC 2047 encoded word ("=?charset?X?text?="), charset ignored:
//   - no "=?" in the value: the value unchanged;
//   - letter B/b: prefix, Base64 of the text (Base64DecodeString rules,
//     bounded by the value's end), then the text after the first "?=" of the
//     whole value;
//   - letter Q/q: prefix, the text walked up to its first '?' with "=XX"
//     read by the "%2x" rule (bounded by the value's end; '_' kept), then the
//     text after the first "?=" at or after the start of the encoded text;
//   - any other letter, or a word that lacks its '?' after the charset, its
//     encoding letter, its '?' after the letter, or a closing "?=" at or
//     after the start of its encoded text: no encoded word, the value is
//     stored unchanged.
// A zero byte produced by decoding ends the stored value (the rest of the
// buffer stays zero); the stored text is cut at 254 bytes. The value is read
// up to its terminator but at most 254 bytes (the parser never passes more).
void DecodeEncodedWord(const char* value, char (&stored)[kValueBytes]);

// Reads lines from cursor up to and including the first empty (or white
// space only) line and appends the stored fields to part.fields, the first
// text::kMaxHeaderFields of them and, after those, a field only when no
// earlier one has its name (so GetField answers as if all were kept): a header
// "name: value" (value up to the line's first ';'), its first parameter
// "name=value" after that ';', or a line "name=value" on its own; quoted
// values end at the next double quote. A "boundary" parameter is stored only
// from the Content-Type field (any letter case): its own line, its folded
// lines, and lines after it that start no other field; anywhere else (a
// Subject holding "; boundary=x", say) it is dropped. Afterwards cursor
// points just past the empty line, or is null when the range ended first.
void ParseHeaderBlock(Part& part, const char*& cursor, const char* end);

// Finds the first field of part (its own list only) whose name equals name
// exactly and copies its value into out as a whole 255-byte buffer (the
// value, then zero bytes to the end); out must hold at least kValueBytes
// bytes. Returns false, out unchanged, when there is no such field.
bool GetField(const Part& part, const char* name, char* out);

}  // namespace tarnwick::mime::stored
