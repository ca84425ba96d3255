#include "upload/FormDataParser.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tarnwick::upload {
namespace {

// The blank line that ends a part's headers.
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
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

std::size_t CopyUntil(char* slot, std::size_t slotSize, char stop, std::string_view body, std::size_t start) {
    std::size_t found = kNone;
    std::size_t length = 0;
    if (start < body.size()) {
        const auto* hit = static_cast<const char*>(
            std::memchr(body.data() + start, static_cast<unsigned char>(stop), body.size() - start));
        if (hit != nullptr) found = static_cast<std::size_t>(hit - body.data());
        length = (found == kNone ? body.size() : found) - start;
    }
    if (slotSize == 0) return found;
    const std::size_t kept = std::min(length, slotSize - 1);   // longer values are cut
    if (kept > 0) std::memcpy(slot, body.data() + start, kept);
    slot[kept] = '\0';
    return found;
}

bool ReadDisposition(std::string_view body, std::size_t p, FormField& field) {
    std::size_t at = BoundedFind(body, p, "Content-Disposition", kHeaderWindow);
    if (at == kNone) return false;
    at = BoundedFind(body, at, "form-data", kHeaderWindow);
    if (at == kNone) return false;
    at = BoundedFind(body, at, "name", kHeaderWindow);
    if (at == kNone) return false;
    const std::size_t nameQuote = FindChar(body, at, '"');
    if (nameQuote == kNone) return false;
    const std::size_t nameEnd = CopyUntil(field.fieldName, kFieldNameSlot, '"', body, nameQuote + 1);
    if (nameEnd == kNone) return false;

    // The reach for the semicolon starts at the closing quote itself.
    const std::size_t semicolon = FindChar(body, nameEnd, ';');
    if (semicolon == kNone) {
        field.isFile = 0;
        return true;
    }
    at = BoundedFind(body, semicolon, "filename", kHeaderWindow);
    if (at == kNone) return false;
    const std::size_t fileQuote = FindChar(body, at, '"');
    if (fileQuote == kNone) return false;
    if (CopyUntil(field.fileName, kFileNameSlot, '"', body, fileQuote + 1) == kNone) return false;
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
    const std::string_view delimiter(body, static_cast<std::size_t>(cr - body));
    // Past the CR and the LF taken to follow it.
    std::size_t p = delimiter.size() + kLineEndBytes;

    head_.reset(new (std::nothrow) FormField());
    if (!head_) return false;
    count_ = 1;
    FormField* current = head_.get();
    records_.push_back(current);

    while (p < text.size()) {
        if (!ReadDisposition(text, p, *current)) break;
        // A part cut off before its blank line or its closing delimiter stays
        // in the list with what its header gave and no data.
        const std::size_t dataStart = BoundedFind(text, p, kHeaderEnd, text.size() - p);
        if (dataStart == kNone) break;
        // Searched from the part's start, so a delimiter inside the header
        // counts too (and leaves the part without data).
        const std::size_t afterDelimiter = BoundedFind(text, p, delimiter, text.size() - p);
        if (afterDelimiter == kNone) break;
        const std::size_t delimiterAt = afterDelimiter - delimiter.size();
        current->dataStart = body + dataStart;
        current->dataLength =
            delimiterAt >= dataStart + kLineEndBytes ? static_cast<std::int32_t>(delimiterAt - kLineEndBytes - dataStart) : 0;

        p = afterDelimiter;
        if (p < text.size() && text[p] == '-') break;   // the close delimiter
        if (count_ == kMaxFormFields) break;
        FormField* next = new (std::nothrow) FormField();
        if (next == nullptr) break;
        current->nextField.reset(next);
        current = next;
        records_.push_back(current);
        ++count_;
    }
    // Indexed once the names are final: a part cut off keeps what its header
    // gave, and the first record of a name wins.
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
