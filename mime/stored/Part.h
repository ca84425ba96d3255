// The MIME part tree: a stored message read as a tree of
// Part nodes over the caller's bytes, the search for parts by field value,
// and the decoding of one part's body.
//
// The tree copies nothing of the message but header lines: bodies are
// pointers into the caller's bytes, which must outlive the tree. Nothing is
// ever read outside the range a part was built over.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <memory>
#include <vector>

#include "mime/Codecs.h"
#include "mime/stored/Header.h"

namespace tarnwick::mime::stored {

// Nesting limit for hostile input. Parts are split to any depth a message
// asks for, but a message nested thousands of levels deep would then exhaust the stack (the
// construction recurses once per level, and so do FindPart and destruction).
// A part at this depth below the root (the root is depth 0) is not split even
// when it has a "boundary" field: it becomes a leaf whose body runs from the
// end of its header block to the end of its range, like a part without a
// boundary. Real mail nests a handful of levels.
constexpr int kMaxNestingDepth = 64;

class Part {
public:
    // Parses [begin, end) completely: the header block, then the split into
    // children when the part has a "boundary" field.
    Part(const char* begin, const char* end);
    // Destroys the fields, then the children: each level's header text is
    // freed before the destruction recurses into the level below.
    ~Part();
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // The header fields and parameters in line order (at most
    // text::kMaxHeaderFields, and one more per name not among them).
    std::vector<std::unique_ptr<Field>> fields;
    // The parts of a multipart body, in order.
    std::vector<std::unique_ptr<Part>> children;
    // The body: from the byte after the header block's empty line to the end
    // of the part's range. A child's range ends before the line break that
    // precedes the delimiter line closing it (CR LF or a lone LF). Both null for a part that was split (its content
    // lives in its children); both equal to the range end when the header
    // block ran to the end of the range.
    const char* bodyBegin = nullptr;
    const char* bodyEnd = nullptr;

    std::size_t BodySize() const { return static_cast<std::size_t>(bodyEnd - bodyBegin); }

private:
    Part(const char* begin, const char* end, int depth);
    void Parse(const char* begin, const char* end, int depth);
    void SplitMultipart(const char* cursor, const char* end, int depth);
    void AddChild(const char* begin, const char* end, int depth);
};

// How a multipart body's delimiter lines are told: the stored-message rule
// (Prefix: the first delimiter line is the delimiter exactly, a later line
// counts when it begins with it) or RFC 2046's (WholeLine: the delimiter,
// "--" for the close one, and only blanks after it, so a nested part whose
// boundary begins with its parent's cannot end the parent's part).
enum class DelimiterLines { Prefix, WholeLine };

// Splits the multipart body [cursor, end) at the delimiter lines of boundary
// and calls addChild with each child's range, in order. Lines are read by
// ReadLine: leading blanks skipped, cut at 254 bytes (a longer delimiter
// never matches). A child's range ends before the line break that precedes
// the delimiter line closing it; text after the last delimiter line is a
// last child unless that line was the close delimiter. After a close
// delimiter, Prefix reads on (a later delimiter line opens another child);
// WholeLine stops there.
void SplitMultipartBody(const char* cursor, const char* end, std::string_view boundary, DelimiterLines rule,
                        const std::function<void(const char*, const char*)>& addChild);

// The first part at or below root, in depth-first pre-order, whose field
// name exists and equals value exactly (whole stored value, case-sensitive);
// when after is given, only parts after it in pre-order count. passed is the
// caller's flag: clear it before a search with after set. Null when none.
const Part* FindPart(const Part& root, bool& passed, const Part* after, const char* name,
                         const char* value);

// Every part at or below root that FindPart finds with
// "Content-Disposition" and "attachment", in the same depth-first pre-order,
// in one walk of the tree (walking with FindPart restarts at the root for
// every step).
std::vector<const Part*> Attachments(const Part& root);

struct DecodedBody {
    std::vector<char> bytes;   // always the body's size, zero-filled, count bytes first
    std::size_t count = 0;     // the bytes the caller is to use
};

// What a body is decoded for. Quoted-printable "=00" is the byte 00 in an
// attachment's bytes; in the text GetBody shows it keeps the stored reader's
// reading, a line feed and the characters "00", so that it does not end the
// text there. Everything else decodes alike.
enum class DecodeFor { Attachment, Text };

// Decodes the part's body by its BodyEncoding: base64
// through Base64DecodeRange, quoted-printable through
// QuotedPrintableDecodeAttachment (for an attachment) or
// QuotedPrintableDecodeRange (for text), anything else (or no field) copied
// exactly, count = body size.
DecodedBody DecodeBody(const Part& part, DecodeFor use = DecodeFor::Attachment);

// The part's "Content-Transfer-Encoding" token (TransferEncodingOf: letter
// case, blanks and comments ignored; Identity without the field).
TransferEncoding BodyEncoding(const Part& part);

// The bytes DecodeBodyInto may write for part: its body's size (0 for a part
// that was split). Decoding never makes a body longer.
std::size_t DecodedCapacity(const Part& part);

// DecodeBody straight into the caller's memory (DecodedCapacity(part) bytes),
// so that a download fills its final buffer without a second copy; returns
// the count. Bytes after the count are left as they were.
std::size_t DecodeBodyInto(const Part& part, char* out, DecodeFor use = DecodeFor::Attachment);

}  // namespace tarnwick::mime::stored
