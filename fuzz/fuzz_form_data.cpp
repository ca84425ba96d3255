// Fuzz target: parsing an arbitrary body, then every lookup, stays inside the
// body and the records, and every range handed out is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "upload/FormDataParser.h"

namespace {

using tarnwick::upload::FieldText;
using tarnwick::upload::FormDataParser;
using tarnwick::upload::FormField;

// Bodies past this are no more interesting and only slow the run down.
constexpr std::size_t kMaxBody = 64 * 1024;
// Name lookups walk the list, so they run for the first records only; the
// walk itself still checks every record.
constexpr std::int32_t kMaxLookups = 64;

const char* gBegin = nullptr;
const char* gEnd = nullptr;

const FormField* FirstNamed(const FormDataParser& parser, const char* name) {
    for (const FormField* f = parser.First(); f != nullptr; f = f->nextField.get())
        if (std::strcmp(f->fieldName, name) == 0) return f;
    return nullptr;
}

// Reads every byte of a range (so ASan checks it) and checks that it lies in
// the body or is one of the owner record's slots.
unsigned Touch(FieldText text, const FormField* owner) {
    if (text.length < 0) std::abort();
    if (text.length == 0) return 0;
    const bool inBody = text.data >= gBegin && text.data + text.length <= gEnd;
    const bool inSlot = owner != nullptr && (text.data == owner->fileName || text.data == owner->fieldName);
    if (!inBody && !inSlot) std::abort();
    unsigned sum = 0;
    for (std::int32_t i = 0; i < text.length; ++i) sum += static_cast<unsigned char>(text.data[i]);
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxBody) return 0;
    // An exactly sized copy, so that ASan sees any read past the body.
    std::unique_ptr<char[]> body(new char[size]);
    if (size > 0) std::memcpy(body.get(), data, size);
    gBegin = body.get();
    gEnd = body.get() + size;

    FormDataParser parser;
    if (!parser.Parse(body.get(), static_cast<std::int32_t>(size))) std::abort();

    volatile unsigned sink = 0;
    std::int32_t index = 0;
    for (const FormField* f = parser.First(); f != nullptr; f = f->nextField.get(), ++index) {
        if (strnlen(f->fieldName, sizeof f->fieldName) == sizeof f->fieldName) std::abort();
        if (strnlen(f->fileName, sizeof f->fileName) == sizeof f->fileName) std::abort();
        if (f->isFile != 0 && f->isFile != 1) std::abort();
        sink = sink + Touch(FieldText{f->dataStart, f->dataLength}, nullptr);
        if (index >= kMaxLookups) continue;
        sink = sink + Touch(parser.ValueAt(index), f) + Touch(parser.NameAt(index), f);
        const FormField* named = FirstNamed(parser, f->fieldName);
        if (parser.FieldIsFile(f->fieldName) != (named->isFile == 1)) std::abort();
        sink = sink + Touch(parser.FieldValue(f->fieldName), named);
        sink = sink + Touch(parser.FileData(f->fieldName, f->fileName), nullptr);
    }
    if (index != parser.FieldCount()) std::abort();
    for (std::int32_t outside : {-1, index, std::numeric_limits<std::int32_t>::max(),
                                 std::numeric_limits<std::int32_t>::min()}) {
        if (parser.ValueAt(outside).length != 0 || parser.NameAt(outside).length != 0) std::abort();
    }
    sink = sink + Touch(parser.FieldValue("From"), FirstNamed(parser, "From"));
    (void)sink;
    return 0;
}
