// The MIME part tree. See Part.h.
#include "mime/stored/Part.h"

#include <cstring>
#include <functional>
#include <new>

#include "text/NarrowText.h"
#include "mime/Codecs.h"

namespace tarnwick::mime::stored {
namespace {

// "--" and a boundary of at most 254 bytes, and the terminating zero.
constexpr std::size_t kDelimiterBytes = 2 + kMaxTextBytes + 1;

// The white space ReadLine skips at the start of a line (LF ends lines).
inline bool IsLeadingSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The start of the line that holds at, when only white space that ReadLine
// skips lies before at on that line; null otherwise. from is a line start.
const char* LineStartBefore(const char* from, const char* at) {
    const char* p = at;
    while (p > from && IsLeadingSpace(p[-1])) --p;
    return p == from || p[-1] == '\n' ? p : nullptr;
}

// The first line at or after from (a line start) that ReadLine delivers
// beginning with the delimiter: returns its start, with the line in line and
// next at the following line (null after a final line without LF). Null when
// there is none. Body lines are never copied: the delimiter text is searched
// for, and only an occurrence at the start of a line is read as a line, by
// ReadLine itself, so long lines, CR cuts and zero bytes follow its rules.
const char* FindDelimiterLine(const char* from, const char* end, const char* delimiter, std::size_t length,
                              char (&line)[kLineBytes], const char*& next) {
    for (const char* p = from; static_cast<std::size_t>(end - p) >= length;) {
        const auto* hit = static_cast<const char*>(std::memchr(p, delimiter[0], static_cast<std::size_t>(end - p) - length + 1));
        if (hit == nullptr) return nullptr;
        if (std::memcmp(hit, delimiter, length) == 0) {
            if (const char* start = LineStartBefore(from, hit)) {
                next = start;
                if (ReadLine(next, end, line) && std::strncmp(line, delimiter, length) == 0) return start;
            }
        }
        p = hit + 1;
    }
    return nullptr;
}

}  // namespace

Part::Part(const char* begin, const char* end) : Part(begin, end, 0) {}

Part::Part(const char* begin, const char* end, int depth) {
    Parse(begin, end, depth);
}

Part::~Part() {
    fields.clear();
    children.clear();
}

void Part::Parse(const char* begin, const char* end, int depth) {
    const char* cursor = begin;
    ParseHeaderBlock(*this, cursor, end);
    SplitMultipart(cursor, end, depth);
}

void Part::SplitMultipart(const char* cursor, const char* end, int depth) {
    char boundary[kValueBytes];
    if (!GetField(*this, "boundary", boundary) || depth >= kMaxNestingDepth) {
        // A leaf: the body is the rest of the range (empty when the header
        // block ran to the end). Beyond the nesting limit a boundary is ignored.
        bodyBegin = cursor != nullptr ? cursor : end;
        bodyEnd = end;
        return;
    }
    bodyBegin = nullptr;
    bodyEnd = nullptr;
    SplitMultipartBody(cursor, end, boundary, DelimiterLines::Prefix,
                       [&](const char* childBegin, const char* childEnd) { AddChild(childBegin, childEnd, depth); });
}

namespace {

// Whether line (as ReadLine delivers it) is a delimiter line of delimiter,
// and whether it is the close delimiter.
bool IsDelimiterLine(const char* line, std::string_view delimiter, DelimiterLines rule, bool& close) {
    if (std::strncmp(line, delimiter.data(), delimiter.size()) != 0) return false;
    const char* rest = line + delimiter.size();
    close = std::strncmp(rest, "--", 2) == 0;
    if (rule == DelimiterLines::Prefix) return true;
    if (close) rest += 2;
    while (*rest == ' ' || *rest == '\t') ++rest;
    return *rest == 0;
}

}  // namespace

void SplitMultipartBody(const char* cursor, const char* end, std::string_view boundary, DelimiterLines rule,
                        const std::function<void(const char*, const char*)>& addChild) {
    // "--" and the boundary: a line holds at most 254 bytes, so a longer
    // delimiter can never be met.
    if (boundary.size() + 2 > kMaxTextBytes) return;
    char delimiterText[kDelimiterBytes] = "--";
    std::memcpy(delimiterText + 2, boundary.data(), boundary.size());
    const std::string_view delimiter(delimiterText, boundary.size() + 2);

    // Preamble: up to the first line that is the delimiter (exactly, for the
    // prefix rule; with only blanks after it, for whole lines).
    char line[kLineBytes];
    for (;;) {
        if (!ReadLine(cursor, end, line)) return;   // no first delimiter: no children
        bool close = false;
        if (rule == DelimiterLines::Prefix ? std::strcmp(line, delimiterText) == 0
                                           : IsDelimiterLine(line, delimiter, rule, close) && !close)
            break;
    }
    // Every later delimiter line closes the current child. The epilogue
    // (text after the close delimiter, "--" boundary "--") becomes no part.
    const char* childBegin = cursor;
    const char* searchFrom = cursor;
    bool closed = false;   // the last delimiter line was the close delimiter
    while (childBegin != nullptr) {
        const char* next = nullptr;
        const char* lineBegin =
            FindDelimiterLine(searchFrom, end, delimiter.data(), delimiter.size(), line, next);
        if (lineBegin == nullptr) break;
        bool close = false;
        if (!IsDelimiterLine(line, delimiter, rule, close)) {
            searchFrom = next;   // a longer line that only begins with the delimiter
            if (searchFrom == nullptr) break;
            continue;
        }
        // The line break in front of a delimiter line belongs to the
        // delimiter, so a child's bytes are exactly what was enclosed.
        const char* childEnd = lineBegin;
        if (childEnd > childBegin && childEnd[-1] == '\n') --childEnd;
        if (childEnd > childBegin && childEnd[-1] == '\r') --childEnd;
        addChild(childBegin, childEnd);
        childBegin = searchFrom = next;
        closed = close;
        // RFC 2046: all after the close delimiter is epilogue. The stored-
        // message rule reads on, and a later delimiter line opens a part.
        if (closed && rule == DelimiterLines::WholeLine) break;
    }
    // A message cut short after a delimiter line: the text up to the end is
    // its last part, not an epilogue, so no attachment is lost to the cut.
    if (!closed && childBegin != nullptr && childBegin < end) addChild(childBegin, end);
}

void Part::AddChild(const char* begin, const char* end, int depth) {
    std::unique_ptr<Part> child(new (std::nothrow) Part(begin, end, depth + 1));
    if (child) children.push_back(std::move(child));   // a child that cannot be allocated is skipped
}

const Part* FindPart(const Part& root, bool& passed, const Part* after, const char* name,
                         const char* value) {
    if (after == nullptr) passed = true;
    if (passed) {
        char stored[kValueBytes];
        if (GetField(root, name, stored) && std::strcmp(stored, value) == 0) return &root;
    } else if (&root == after) {
        passed = true;   // the part itself is not tested
    }
    for (const auto& child : root.children)
        if (const Part* found = FindPart(*child, passed, after, name, value)) return found;
    return nullptr;
}

namespace {

void CollectAttachments(const Part& part, std::vector<const Part*>& found) {
    char disposition[kValueBytes];
    if (GetField(part, "Content-Disposition", disposition) && std::strcmp(disposition, "attachment") == 0)
        found.push_back(&part);
    for (const auto& child : part.children) CollectAttachments(*child, found);
}

}  // namespace

std::vector<const Part*> Attachments(const Part& root) {
    std::vector<const Part*> found;
    CollectAttachments(root, found);
    return found;
}

std::size_t DecodedCapacity(const Part& part) { return part.bodyBegin != nullptr ? part.BodySize() : 0; }

TransferEncoding BodyEncoding(const Part& part) {
    char encoding[kValueBytes];
    if (!GetField(part, "Content-Transfer-Encoding", encoding)) encoding[0] = 0;
    return TransferEncodingOf(encoding);
}

std::size_t DecodeBodyInto(const Part& part, char* out, DecodeFor use) {
    if (DecodedCapacity(part) == 0) return 0;
    return DecodeBodyRange(BodyEncoding(part), part.bodyBegin, part.bodyEnd, out,
                           use == DecodeFor::Attachment ? QuotedPrintableDecodeAttachment : QuotedPrintableDecodeRange);
}

DecodedBody DecodeBody(const Part& part, DecodeFor use) {
    DecodedBody result;
    result.bytes.assign(DecodedCapacity(part), 0);
    result.count = DecodeBodyInto(part, result.bytes.data(), use);
    return result;
}

}  // namespace tarnwick::mime::stored
