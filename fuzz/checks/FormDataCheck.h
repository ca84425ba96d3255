// Parsing an arbitrary form body, then every lookup, stays inside the body
// and the records, and every range handed out is well formed.
#pragma once

#include <cstring>
#include <limits>
#include <memory>

#include "fuzz/checks/Check.h"
#include "upload/FormDataParser.h"

namespace tarnwick::fuzz {
namespace form_data {

// Bodies past this are no more interesting and only slow the run down.
constexpr std::size_t kMaxBody = 64 * 1024;
// Name lookups walk the list, so they run for the first records only; the
// walk itself still checks every record.
constexpr std::int32_t kMaxLookups = 64;

inline const upload::FormField* FirstNamed(const upload::FormDataParser& parser, const char* name) {
    for (const upload::FormField* f = parser.First(); f != nullptr; f = f->nextField.get())
        if (std::strcmp(f->fieldName, name) == 0) return f;
    return nullptr;
}

// Reads every byte of a range (so ASan checks it) and checks that it lies in
// the body or is one of the owner record's slots.
inline unsigned Touch(upload::FieldText text, const upload::FormField* owner, const char* begin, const char* end) {
    FUZZ_CHECK(text.length >= 0);
    if (text.length == 0) return 0;
    const bool inBody = text.data >= begin && text.data + text.length <= end;
    const bool inSlot = owner != nullptr && (text.data == owner->fileName || text.data == owner->fieldName);
    FUZZ_CHECK(inBody || inSlot);
    unsigned sum = 0;
    for (std::int32_t i = 0; i < text.length; ++i) sum += static_cast<unsigned char>(text.data[i]);
    return sum;
}

}  // namespace form_data

inline void CheckFormData(const std::uint8_t* data, std::size_t size) {
    using namespace form_data;
    using upload::FieldText;
    if (size > kMaxBody) return;
    // An exactly sized copy, so that ASan sees any read past the body.
    std::unique_ptr<char[]> body(new char[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(body.get(), data, size);
    const char* begin = body.get();
    const char* end = body.get() + size;

    upload::FormDataParser parser;
    FUZZ_CHECK(parser.Parse(body.get(), static_cast<std::int32_t>(size)));

    volatile unsigned sink = 0;
    std::int32_t index = 0;
    for (const upload::FormField* f = parser.First(); f != nullptr; f = f->nextField.get(), ++index) {
        FUZZ_CHECK(strnlen(f->fieldName, sizeof f->fieldName) < sizeof f->fieldName);
        FUZZ_CHECK(strnlen(f->fileName, sizeof f->fileName) < sizeof f->fileName);
        FUZZ_CHECK(f->isFile == 0 || f->isFile == 1);
        sink = sink + Touch(FieldText{f->dataStart, f->dataLength}, nullptr, begin, end);
        if (index >= kMaxLookups) continue;
        sink = sink + Touch(parser.ValueAt(index), f, begin, end) + Touch(parser.NameAt(index), f, begin, end);
        const upload::FormField* named = FirstNamed(parser, f->fieldName);
        FUZZ_CHECK(parser.FieldIsFile(f->fieldName) == (named->isFile == 1));
        sink = sink + Touch(parser.FieldValue(f->fieldName), named, begin, end);
        sink = sink + Touch(parser.FileData(f->fieldName, f->fileName), nullptr, begin, end);
    }
    FUZZ_CHECK(index == parser.FieldCount());
    FUZZ_CHECK(index <= upload::kMaxFormFields);
    for (std::int32_t outside : {std::int32_t{-1}, index, std::numeric_limits<std::int32_t>::max(),
                                 std::numeric_limits<std::int32_t>::min()}) {
        FUZZ_CHECK(parser.ValueAt(outside).length == 0 && parser.NameAt(outside).length == 0);
    }
    sink = sink + Touch(parser.FieldValue("From"), FirstNamed(parser, "From"), begin, end);
    (void)sink;
}

}  // namespace tarnwick::fuzz
