#include "upload/FormDataParser.h"

#include "text/Charsets.h"
#include "text/FileNames.h"
#include "text/NarrowText.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tarnwick::upload {
namespace {

// The blank line that ends a part's headers.
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";
// The line end before a delimiter belongs to the delimiter, not to the data.
constexpr std::size_t kLineEndBytes = 2;

FieldText TextOf(const char* text) {
    return FieldText{text, static_cast<std::int32_t>(std::strlen(text))};
}

// What the value lookups hand out: a file field's file name, any other
// field's data.
FieldText ValueOf(const FormField* field) {
    if (field == nullptr) return FieldText{};
    if (field->isFile) return TextOf(field->fileName);
    return FieldText{field->dataStart, field->dataLength};
}

}  // namespace

std::size_t BoundedFind(std::string_view body, std::size_t start, std::string_view pattern, std::size_t window) {
    if (pattern.empty() || start >= body.size()) return kNone;
    const std::size_t reach = std::min(window, body.size() - start);
    const std::size_t length = pattern.size();
    if (reach < length) return kNone;

    // Candidates are picked by the pattern's last byte with memchr, which
    // skips long data quickly; for a delimiter that is one of the random
    // characters a client ends it with, so it is rare in the data.
    const char* windowEnd = body.data() + start + reach;
    const char* scan = body.data() + start + length - 1;
    const int lastByte = static_cast<unsigned char>(pattern[length - 1]);
    while (scan < windowEnd) {
        const auto* hit = static_cast<const char*>(std::memchr(scan, lastByte, windowEnd - scan));
        if (hit == nullptr) return kNone;
        if (std::memcmp(hit - (length - 1), pattern.data(), length - 1) == 0)
            return static_cast<std::size_t>(hit + 1 - body.data());
        scan = hit + 1;
    }
    return kNone;
}

std::size_t FindChar(std::string_view body, std::size_t start, char c) {
    if (start >= body.size()) return kNone;
    const std::size_t reach = std::min(kFindCharReach, body.size() - start);
    const auto* hit = static_cast<const char*>(std::memchr(body.data() + start, static_cast<unsigned char>(c), reach));
    return hit == nullptr ? kNone : static_cast<std::size_t>(hit - body.data());
}

namespace {

// One reading of a quoted string; escapes: a backslash before a quote or a
// backslash stands for that byte.
std::size_t ReadQuotedOnce(std::string_view text, std::size_t openQuote, bool doubleBytes, bool escapes,
                           std::string& value) {
    value.clear();
    for (std::size_t i = openQuote + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') return i;
        if (doubleBytes && text::StartsDoubleByte(text, i, text::Pairing::TrailRange)) {
            value += c;
            c = text[++i];
        } else if (escapes && c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            c = text[++i];
        }
        value += c;
    }
    return kNone;
}

// The longest prefix of value within maxBytes that ends on a character
// boundary (of UTF-8, or of the system code page when doubleBytes).
std::string CutText(const std::string& value, std::size_t maxBytes, bool doubleBytes) {
    if (value.size() <= maxBytes) return value;
    if (doubleBytes) return text::CutAtCharBoundary(value, maxBytes);
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;   // a continuation byte
    return value.substr(0, end);
}

// A file name for its slot: whole when it fits; else the name after its
// path, and if even that is too long, its start cut so that the extension
// stays (it says what the file is).
std::string FitFileName(const std::string& value, std::size_t maxBytes, bool doubleBytes) {
    constexpr std::size_t kLongestKeptExtension = 32;
    if (value.size() <= maxBytes) return value;
    const std::string base(text::LastPathComponent(value));
    if (base.size() <= maxBytes) return base;
    const std::size_t dot = base.rfind('.');
    const std::string extension =
        dot != std::string::npos && base.size() - dot <= kLongestKeptExtension ? base.substr(dot) : std::string();
    return CutText(base.substr(0, base.size() - extension.size()), maxBytes - extension.size(), doubleBytes) +
           extension;
}

// value must fit the slot with its terminator.
void Fill(char* slot, const std::string& value) {
    std::memcpy(slot, value.data(), value.size());
    slot[value.size()] = '\0';
}

}  // namespace

std::size_t ReadQuoted(std::string_view text, std::size_t openQuote, bool doubleBytes, std::string& value) {
    const std::size_t close = ReadQuotedOnce(text, openQuote, doubleBytes, true, value);
    // Browsers send a backslash as it is: a name ending in one still ends
    // at its quote.
    return close != kNone ? close : ReadQuotedOnce(text, openQuote, doubleBytes, false, value);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The offset just after the first occurrence of "name" from `from` within the
// window that is a parameter's own name, not the end of "filename".
std::size_t FindNameParameter(std::string_view line, std::size_t from) {
    constexpr std::string_view kFile = "file";
    const std::size_t windowEnd = std::min(line.size(), from + kHeaderWindow);
    for (std::size_t at = from; at < windowEnd;) {
        const std::size_t after = BoundedFind(line, at, "name", windowEnd - at);
        if (after == kNone) return kNone;
        const std::size_t begin = after - 4;
        if (begin < kFile.size() || line.substr(begin - kFile.size(), kFile.size()) != kFile) return after;
        at = begin + 1;
    }
    return kNone;
}

// The offset just after a "filename" parameter name on the line from `from`
// on: one outside quoted strings that a ';' (blanks between allowed) stands
// before. kNone if none.
std::size_t FindFileNameParameter(std::string_view line, std::size_t from, bool doubleBytes) {
    constexpr std::string_view kFileName = "filename";
    std::size_t lastNonBlank = kNone;
    for (std::size_t i = from; i < line.size(); ++i) {
        if (line[i] == '"') {
            std::string skipped;
            i = ReadQuoted(line, i, doubleBytes, skipped);
            if (i == kNone) return kNone;
        } else if (lastNonBlank != kNone && line[lastNonBlank] == ';' &&
                   line.compare(i, kFileName.size(), kFileName) == 0) {
            return i + kFileName.size();
        }
        if (!IsBlank(line[i])) lastNonBlank = i;
    }
    return kNone;
}

// The offset just after the next delimiter from `from` on, or kNone. A
// delimiter starts a line (lineDelimiter is CR LF and the delimiter) and is
// followed by "--" (the close delimiter), or by blanks and a line end, or by
// the end of the body: the same bytes inside a line of data are data.
std::size_t NextDelimiter(std::string_view body, std::size_t from, std::string_view lineDelimiter) {
    while (from < body.size()) {
        const std::size_t after = BoundedFind(body, from, lineDelimiter, body.size() - from);
        if (after == kNone) return kNone;
        std::size_t rest = after;
        if (body.compare(rest, 2, "--") == 0) return after;
        while (rest < body.size() && IsBlank(body[rest])) ++rest;
        if (rest == body.size() || body.compare(rest, 2, "\r\n") == 0 || (rest + 1 == body.size() && body[rest] == '\r'))
            return after;
        from = after - lineDelimiter.size() + 1;
    }
    return kNone;
}

// The value of the Content-Type line among the header lines of
// [begin, end) (name in any letter case), blanks around it dropped.
std::string_view PartContentType(std::string_view body, std::size_t begin, std::size_t end) {
    constexpr std::string_view kName = "content-type:";
    for (std::size_t line = begin; line < end;) {
        const std::size_t lineEnd = std::min(body.find(kLineEnd, line), end);
        if (lineEnd - line >= kName.size() && text::EqualIgnoringAsciiCase(body.substr(line, kName.size()), kName)) {
            std::size_t a = line + kName.size(), b = lineEnd;
            while (a < b && IsBlank(body[a])) ++a;
            while (b > a && IsBlank(body[b - 1])) --b;
            return body.substr(a, b - a);
        }
        line = lineEnd + kLineEnd.size();
    }
    return {};
}

}  // namespace

bool ReadDisposition(std::string_view header, std::size_t p, FormField& field) {
    std::size_t at = BoundedFind(header, p, "Content-Disposition", kHeaderWindow);
    if (at == kNone) return false;
    // Parameters are read on this line only: a value below it is data.
    const std::size_t lineEnd = header.find("\r\n", at);
    const std::string_view line = header.substr(0, lineEnd);
    at = BoundedFind(line, at, "form-data", kHeaderWindow);
    if (at == kNone) return false;
    const std::size_t parameters = at;
    // Names that are not UTF-8 are read in the system code page, where the
    // second byte of a character may be 0x5C: that byte is no escape.
    const bool doubleBytes = !text::IsUtf8(line.substr(parameters));
    at = FindNameParameter(line, at);
    if (at == kNone) return false;
    const std::size_t nameQuote = FindChar(line, at, '"');
    if (nameQuote == kNone) return false;
    std::string value;
    if (ReadQuoted(line, nameQuote, doubleBytes, value) == kNone) return false;
    Fill(field.fieldName, CutText(value, kFieldNameSlot - 1, doubleBytes));

    field.isFile = 0;
    field.fileName[0] = '\0';
    at = FindFileNameParameter(line, parameters, doubleBytes);
    if (at == kNone) return true;   // a plain field
    const std::size_t fileQuote = FindChar(line, at, '"');
    if (fileQuote == kNone) return false;
    if (ReadQuoted(line, fileQuote, doubleBytes, value) == kNone) return false;
    Fill(field.fileName, FitFileName(value, kFileNameSlot - 1, doubleBytes));
    field.isFile = 1;
    return true;
}

FormDataParser::~FormDataParser() { Clear(); }

void FormDataParser::Clear() {
    firstOfName_.clear();
    records_.clear();
    // Unlinked one by one: letting the head's destructor free the chain
    // would recurse once per record.
    std::unique_ptr<FormField> field = std::move(head_);
    while (field) field = std::move(field->nextField);
    count_ = 0;
}

bool FormDataParser::Parse(const char* body, std::int32_t bodyLength) {
    Clear();
    if (body == nullptr || bodyLength <= 0) return true;
    const std::string_view text(body, static_cast<std::size_t>(bodyLength));

    // The delimiter line: everything before the first CR, which must come
    // within the delimiter slot.
    const auto* cr = static_cast<const char*>(std::memchr(body, '\r', std::min(text.size(), kDelimiterSlot)));
    if (cr == nullptr) return true;
    // Past the CR and the LF taken to follow it.
    std::size_t p = static_cast<std::size_t>(cr - body) + kLineEndBytes;
    std::string_view delimiter(body, static_cast<std::size_t>(cr - body));
    while (!delimiter.empty() && IsBlank(delimiter.back())) delimiter.remove_suffix(1);   // padding
    const std::string lineDelimiter = std::string(kLineEnd) + std::string(delimiter);

    FormField* current = nullptr;
    FormField part;   // read here first: a part that does not match costs no record
    while (p < text.size() && count_ < kMaxFormFields) {
        // Everything about this part is looked for before its delimiter, so
        // each byte of the body is searched a bounded number of times.
        const std::size_t afterDelimiter = delimiter.empty() ? kNone : NextDelimiter(text, p, lineDelimiter);
        const bool cutOff = afterDelimiter == kNone;
        const std::size_t partEnd = cutOff ? text.size() : afterDelimiter - delimiter.size();

        part = FormField();
        const bool matches = ReadDisposition(text.substr(0, partEnd), p, part);
        const std::size_t dataStart = matches ? BoundedFind(text, p, kHeaderEnd, partEnd - p) : kNone;
        // A last part cut off by the end of the body keeps what its header
        // gave and no data; any other part needs its blank line.
        if (matches && (cutOff || dataStart != kNone)) {
            FormField* record = new (std::nothrow) FormField();
            if (record == nullptr) {
                if (count_ == 0) return false;
                break;
            }
            std::memcpy(record->fieldName, part.fieldName, sizeof part.fieldName);
            std::memcpy(record->fileName, part.fileName, sizeof part.fileName);
            record->isFile = part.isFile;
            if (!cutOff) {
                record->contentType = PartContentType(text, p, dataStart);
                record->dataStart = body + dataStart;
                record->dataLength = partEnd >= dataStart + kLineEndBytes
                                         ? static_cast<std::int32_t>(partEnd - kLineEndBytes - dataStart)
                                         : 0;
            }
            if (current == nullptr)
                head_.reset(record);
            else
                current->nextField.reset(record);
            current = record;
            records_.push_back(current);
            ++count_;
        }
        if (cutOff) break;
        p = afterDelimiter;
        if (p < text.size() && text[p] == '-') break;   // the close delimiter
    }
    // Indexed once the names are final: the first record of a name wins.
    for (std::int32_t i = 0; i < count_; ++i) firstOfName_.emplace(records_[i]->fieldName, i);
    return true;
}

const FormField* FormDataParser::FindByName(std::string_view name) const {
    auto found = firstOfName_.find(name);
    return found == firstOfName_.end() ? nullptr : records_[found->second];
}

const FormField* FormDataParser::RecordAt(std::int32_t index) const {
    if (index < 0 || index >= count_) return nullptr;
    return records_[index];
}

bool FormDataParser::FieldIsFile(std::string_view name) const {
    const FormField* field = FindByName(name);
    return field != nullptr && field->isFile != 0;
}

FieldText FormDataParser::FieldValue(std::string_view name) const { return ValueOf(FindByName(name)); }

FieldText FormDataParser::FileData(std::string_view name, std::string_view fileName) const {
    // No earlier record has that name.
    for (const FormField* field = FindByName(name); field != nullptr; field = field->nextField.get())
        if (name == field->fieldName && fileName == field->fileName)
            return FieldText{field->dataStart, field->dataLength};
    return FieldText{};
}

FieldText FormDataParser::ValueAt(std::int32_t index) const { return ValueOf(RecordAt(index)); }

FieldText FormDataParser::NameAt(std::int32_t index) const {
    const FormField* field = RecordAt(index);
    return field == nullptr ? FieldText{} : TextOf(field->fieldName);
}

}  // namespace tarnwick::upload
