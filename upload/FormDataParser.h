// Splitting a posted multipart/form-data body into its fields.
//
// The part delimiter is the body's first line (up to its first CR); only each
// part's Content-Disposition line is read, by short fixed-size searches.
// Field data are never copied: every record points into the body, which the
// caller keeps alive and unchanged for as long as the parser is used.
//
// Every search stays inside the part at hand: a part's header is looked for
// only before the next delimiter, and its parameters only on its own
// Content-Disposition line. So the parse is linear in the body's size, a
// field's value can never be taken for a parameter, and a part that does not
// match is skipped without ending the parse. Nothing here reads past the end
// of the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/Limits.h"

namespace tarnwick::upload {

// Slot sizes of a record, terminator included (see text/Limits.h).
constexpr std::size_t kFieldNameSlot = text::kFieldNameSlotBytes;
constexpr std::size_t kFileNameSlot = text::kFileNameSlotBytes;
// The delimiter line is held in a slot of this size, so it has at most 127
// bytes; a body whose first CR comes later is not taken for form data.
constexpr std::size_t kDelimiterSlot = 128;
// "Content-Disposition", "form-data" and "name" are each looked for this far
// from where the previous search ended: the header must come first in its
// part, as every browser sends it.
constexpr std::size_t kHeaderWindow = 32;
// A parameter's opening quote is looked for this far after its name.
constexpr std::size_t kFindCharReach = 6;
// A body yields at most this many fields; later parts are ignored. Every
// field costs a record of some 350 bytes and every page walks them, while a
// 64 MiB body of empty fields holds about a million; real forms have dozens.
constexpr std::int32_t kMaxFormFields = 1000;

// "Not found" from the search operations below.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// One part of the body. A new record is cleared: empty texts, not a file,
// no data.
struct FormField {
    char fieldName[kFieldNameSlot] = {};   // the name parameter, without quotes
    std::int32_t isFile = 0;               // 1 when a filename parameter was read
    // The filename parameter as sent, its quoting undone; one too long for
    // the slot keeps its last path component, cut before its extension.
    char fileName[kFileNameSlot] = {};
    std::int32_t dataLength = 0;           // never negative
    const char* dataStart = nullptr;       // first data byte in the body; null for no data
    // The part's Content-Type value as sent, blanks around it dropped (in the
    // body); empty when the part has none.
    std::string_view contentType;
    std::unique_ptr<FormField> nextField;  // the following part, in body order
};

// A text or byte range handed out by the lookups; length 0 both for a
// missing field and for an empty value.
struct FieldText {
    const char* data = nullptr;
    std::int32_t length = 0;
};

// The search operations over a body's bytes; positions are offsets into body.
//
// The first occurrence of pattern lying wholly within the window bytes from
// start (cut at the body's end); returns the offset just after it, or kNone.
// An empty pattern is never found.
std::size_t BoundedFind(std::string_view body, std::size_t start, std::string_view pattern, std::size_t window);
// The offset of the first of the kFindCharReach bytes from start that equals c, or kNone.
std::size_t FindChar(std::string_view body, std::size_t start, char c);
// Reads the quoted string whose opening quote is at openQuote into value:
// a backslash before a quote or a backslash stands for that byte, any other
// backslash is itself (so a client's path D:\up\x.txt keeps its
// separators); when read so the string has no closing quote, it is read
// again with every backslash as itself (browsers do not escape one). With
// doubleBytes, a lead byte of the system code page takes the next byte with
// it (a second byte 0x5C is no escape). Returns the closing quote's offset,
// or kNone when the text ends first.
std::size_t ReadQuoted(std::string_view text, std::size_t openQuote, bool doubleBytes, std::string& value);
// Reads the Content-Disposition line of the part whose header starts at p
// into field; header ends where the part ends (its next delimiter or the end
// of the body). False when the part does not match: the line must come
// first, spelled so, with a quoted name; a quoted filename parameter on the
// same line makes it a file part.
bool ReadDisposition(std::string_view header, std::size_t p, FormField& field);

class FormDataParser {
public:
    FormDataParser() = default;
    ~FormDataParser();
    FormDataParser(const FormDataParser&) = delete;
    FormDataParser& operator=(const FormDataParser&) = delete;

    // Replaces the list with the fields of the bodyLength bytes at body
    // (a negative length counts as 0), the first kMaxFormFields of them. A
    // part that does not match, or has no blank line before its delimiter, is
    // left out; a last part cut off by the end of the body is kept with what
    // its header gave and no data. False only when the first record cannot be
    // allocated (the indexes throw std::bad_alloc).
    bool Parse(const char* body, std::int32_t bodyLength);

    // Name lookups compare byte for byte and answer for the first field of
    // that name in body order. Lookups by name and by index take constant
    // time, so a page may walk every field.
    bool FieldIsFile(std::string_view name) const;
    // A file field's file name, any other field's data.
    FieldText FieldValue(std::string_view name) const;
    // The data of the first field with both that name and that file name.
    FieldText FileData(std::string_view name, std::string_view fileName) const;
    // As FieldValue, for the record at a 0-based index.
    FieldText ValueAt(std::int32_t index) const;
    FieldText NameAt(std::int32_t index) const;
    std::int32_t FieldCount() const { return count_; }

    // The records in body order, for walking the list directly.
    const FormField* First() const { return head_.get(); }

private:
    void Clear();
    const FormField* FindByName(std::string_view name) const;
    const FormField* RecordAt(std::int32_t index) const;

    std::unique_ptr<FormField> head_;
    std::int32_t count_ = 0;
    std::vector<const FormField*> records_;   // the list, by index
    // Each name's first record; the keys view the records' name slots.
    std::unordered_map<std::string_view, std::int32_t> firstOfName_;
};

}  // namespace tarnwick::upload
