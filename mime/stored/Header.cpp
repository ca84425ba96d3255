// MIME header fields and parameters. See Field.h.
#include "mime/stored/Header.h"

#include <cstring>
#include <new>
#include <string_view>

#include "mime/Codecs.h"
#include "mime/stored/Part.h"
#include "text/NarrowText.h"

namespace tarnwick::mime::stored {

const char KnownFieldNames[kKnownFieldCount][kNameBytes] = {
    "Content-Disposition",
    "Message-ID",
    "From",
    "To",
    "Subject",
    "Date",
    "MIME-Version",
    "Content-Type",
    "X-Priority",
    "X-MSMail-Priority",
    "X-Mailer",
    "X-MimeOLE",
    "Content-Transfer-Encoding",
    "charset",
    "boundary",
    "name",
    "filename",
};

namespace {

// The white space that the line reader and the header parser skip.
inline bool IsLineSpace(char c) {
    return c == '\t' || c == ' ' || c == '\r' || c == '\n';
}

// Length of a zero-terminated text, looking at no more than limit bytes.
std::size_t BoundedLength(const char* s, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && s[n] != 0) ++n;
    return n;
}

const char* FindChar(const char* p, const char* end, char c) {
    for (; p < end; ++p)
        if (*p == c) return p;
    return nullptr;
}

// The first two-byte sequence a b in [p, end), or null.
const char* FindPair(const char* p, const char* end, char a, char b) {
    for (; end - p >= 2; ++p)
        if (p[0] == a && p[1] == b) return p;
    return nullptr;
}

// Appends to a 255-byte value buffer: at most 254 bytes; a zero byte ends the
// value, and nothing is written after it.
class ValueWriter {
public:
    explicit ValueWriter(char (&buffer)[kValueBytes]) : buffer_(buffer) {}
    void Put(char c) {
        if (ended_ || size_ >= kMaxTextBytes) return;
        if (c == 0) {
            ended_ = true;
            return;
        }
        buffer_[size_++] = c;
    }
    void Append(const char* p, const char* end) {
        for (; p < end && !ended_ && size_ < kMaxTextBytes; ++p) Put(*p);
    }

private:
    char (&buffer_)[kValueBytes];
    std::size_t size_ = 0;
    bool ended_ = false;
};

// The quoting rule: a value that begins with a double quote starts after it
// and ends at the next double quote (or its text's end); the text is cut in
// place, inside the caller's line buffer.
char* Unquote(char* value) {
    if (*value != '"') return value;
    ++value;
    if (char* close = std::strchr(value, '"')) *close = 0;
    return value;
}

// Whether the header name [name, nameEnd) is Content-Type, in any letter
// case and with blanks before its colon: the field whose parameters the
// part's "boundary" comes from, however the header itself is spelled.
bool IsContentTypeName(const char* name, const char* nameEnd) {
    while (nameEnd > name && (nameEnd[-1] == ' ' || nameEnd[-1] == '\t')) --nameEnd;
    return text::EqualIgnoringAsciiCase(std::string_view(name, static_cast<std::size_t>(nameEnd - name)),
                                        "Content-Type");
}

static_assert(kKnownFieldCount <= 32, "one bit per known name");

// The fields a header block adds to its part: the first
// text::kMaxHeaderFields, then only those whose name no earlier field has.
class FieldAppender {
public:
    explicit FieldAppender(Part& part) : part_(part) {
        for (const auto& field : part_.fields) stored_ |= 1u << field->NameIndex();
    }
    void Append(const char* name, const char* value) {
        const int index = Field::KnownNameIndex(name);
        if (index < 0) return;
        const unsigned bit = 1u << index;
        // Beyond the limit a field of a stored name could never be found.
        if (part_.fields.size() >= text::kMaxHeaderFields && (stored_ & bit) != 0) return;
        std::unique_ptr<Field> field = Field::Create(name, value);
        if (!field) return;
        part_.fields.push_back(std::move(field));
        stored_ |= bit;
    }

private:
    Part& part_;
    unsigned stored_ = 0;   // bit i: a field named KnownFieldNames[i] is stored
};

}  // namespace

bool ReadLine(const char*& cursor, const char* end, char (&line)[kLineBytes]) {
    if (cursor == nullptr) return false;
    std::memset(line, 0, kLineBytes);
    if (cursor >= end) {
        cursor = nullptr;
        return false;
    }
    const char* lf = static_cast<const char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
    // Text after the last LF is the final line: a closing delimiter or a
    // header line at the very end of a file counts like any other.
    const char* lineEnd = lf != nullptr ? lf : end;
    const char* p = cursor;
    while (p < lineEnd && IsLineSpace(*p)) ++p;
    const std::size_t n = static_cast<std::size_t>(lineEnd - p);
    if (n > kMaxTextBytes) {
        std::memcpy(line, p, kMaxTextBytes);   // the rest of the line is lost; no CR cut
    } else if (n > 0) {
        std::memcpy(line, p, n);
        if (char* cr = static_cast<char*>(std::memchr(line, '\r', n))) *cr = 0;
    }
    cursor = lf != nullptr ? lf + 1 : nullptr;
    return true;
}

int Field::KnownNameIndex(const char* name) {
    for (std::size_t i = 0; i < kKnownFieldCount; ++i)
        if (std::strcmp(KnownFieldNames[i], name) == 0) return static_cast<int>(i);
    return -1;
}

bool Field::IsKnownName(const char* name) { return KnownNameIndex(name) >= 0; }

std::unique_ptr<Field> Field::Create(const char* name, const char* value) {
    const int index = KnownNameIndex(name);
    if (index < 0) return nullptr;
    char stored[kValueBytes];
    DecodeEncodedWord(value, stored);
    try {
        return std::unique_ptr<Field>(new Field(index, stored, std::strlen(stored)));
    } catch (const std::bad_alloc&) {
        return nullptr;   // a field that cannot be allocated is skipped
    }
}

void DecodeEncodedWord(const char* value, char (&stored)[kValueBytes]) {
    std::memset(stored, 0, kValueBytes);
    const char* const end = value + BoundedLength(value, kMaxTextBytes);
    ValueWriter out(stored);

    const char* open = FindPair(value, end, '=', '?');
    if (open == nullptr) {
        out.Append(value, end);
        return;
    }
    // "=?" charset "?" letter ... "?" text "?="; any missing piece: unchanged.
    const char* charsetEnd = FindChar(open + 2, end, '?');
    const char* letterEnd = charsetEnd && charsetEnd + 1 < end ? FindChar(charsetEnd + 1, end, '?') : nullptr;
    const char* text = letterEnd ? letterEnd + 1 : nullptr;
    const char* close = text ? FindPair(text, end, '?', '=') : nullptr;
    if (close == nullptr) {
        out.Append(value, end);
        return;
    }
    const char letter = charsetEnd[1];
    if (letter != 'B' && letter != 'b' && letter != 'Q' && letter != 'q') {
        out.Append(value, end);   // an encoding we do not know: no text is lost
        return;
    }

    out.Append(value, open);   // the prefix, white space before the word included
    if (letter == 'B' || letter == 'b') {
        char decoded[kValueBytes];   // at most 3/4 of 254 bytes
        const std::size_t n = Base64DecodeStringRange(text, end, decoded);
        for (std::size_t i = 0; i < n; ++i) out.Put(decoded[i]);
        // The tail follows the first "?=" of the whole value (which exists: close).
        out.Append(FindPair(value, end, '?', '=') + 2, end);
    } else {   // Q
        const char* p = text;
        while (p < end && *p != '?') {
            if (*p == '=') {
                out.Put(static_cast<char>(ReadHex2(p + 1, end) & 0xFF));   // zero when unreadable
                p += end - p < 3 ? end - p : 3;
            } else {
                out.Put(*p++);   // '_' included
            }
        }
        out.Append(close + 2, end);
    }
}

void ParseHeaderBlock(Part& part, const char*& cursor, const char* end) {
    char line[kLineBytes];
    // Whether the current line belongs to the Content-Type field: its own
    // line, a folded line after it (one that begins with a blank), or a line
    // after it that starts no other field (a parameter some writers put on a
    // line of its own without the blank). Only there is "boundary" taken: a
    // "; boundary=" in a Subject or From must not split the message.
    bool inContentType = false;
    FieldAppender fields(part);
    const auto appendParameter = [&](const char* name, const char* value) {
        if (inContentType || std::strcmp(name, "boundary") != 0) fields.Append(name, value);
    };
    for (;;) {
        const bool folded = cursor != nullptr && cursor < end && (*cursor == ' ' || *cursor == '\t');
        if (!ReadLine(cursor, end, line)) return;   // ran to the end of the range
        char* s = line;
        while (IsLineSpace(*s)) ++s;
        if (*s == 0) return;   // the empty line that ends the block

        // The first ';' ends the first segment; the rest is the parameter text.
        char* params = nullptr;
        if (char* semi = std::strchr(s, ';')) {
            *semi = 0;
            params = semi + 1;
        }
        if (char* colon = std::strstr(s, ": ")) {
            *colon = 0;
            if (!folded) inContentType = IsContentTypeName(s, colon);
            fields.Append(s, colon + 2);
            if (params != nullptr) {
                while (IsLineSpace(*params)) ++params;
                if (char* eq = std::strchr(params, '=')) {
                    *eq = 0;
                    appendParameter(params, Unquote(eq + 1));
                }
            }
        } else if (char* eq = std::strchr(s, '=')) {
            // A parameter on a line of its own (or any "name=value" line);
            // parameter text after a ';' is not examined.
            *eq = 0;
            appendParameter(s, Unquote(eq + 1));
        }
    }
}

bool GetField(const Part& part, const char* name, char* out) {
    for (const auto& field : part.fields) {
        if (std::strcmp(field->Name(), name) == 0) {
            const std::size_t size = field->ValueSize();   // at most 254
            std::memcpy(out, field->Value(), size);
            std::memset(out + size, 0, kValueBytes - size);
            return true;
        }
    }
    return false;
}

}  // namespace tarnwick::mime::stored
