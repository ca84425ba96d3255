// A posted multipart/form-data body as the engine uses it: its fields,
// parsed in place, and the saving of its uploaded files into a target
// directory. The Upload object wraps one for a page, and posting reads the
// composition form through one directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/NarrowText.h"
#include "upload/FormDataParser.h"

namespace tarnwick::upload {

class PostedForm {
public:
    // The target directory starts as the system's temporary directory.
    PostedForm();

    // Parses the bodyLength bytes at body, which the caller keeps alive and
    // unchanged while the form is used; an earlier parse is dropped. False
    // only when no memory was left.
    bool Parse(const char* body, std::int32_t bodyLength);

    std::int32_t FieldCount() const { return parser_.FieldCount(); }
    // A field's value by name or position: a file field's file name, any
    // other field's data; length 0 for a missing or empty field.
    FieldText Value(std::string_view name) const { return parser_.FieldValue(name); }
    FieldText ValueAt(std::int32_t index) const { return parser_.ValueAt(index); }
    FieldText NameAt(std::int32_t index) const { return parser_.NameAt(index); }
    bool IsFile(std::string_view name) const { return parser_.FieldIsFile(name); }
    // The fields in body order, for walking them all.
    const FormField* Fields() const { return parser_.First(); }

    // The upload of a field: false unless it is a file field with a file
    // name and a non-empty upload.
    bool UploadedFile(std::string_view name, FieldText& fileName, FieldText& data) const;

    // Saves the field's upload as TargetDir() + "\" + the name
    // text::SaveBaseName leaves of its file name, replacing a file of that
    // name. One trailing backslash of the target directory is dropped for
    // good. False, writing nothing, when there is no upload, the name is
    // refused or the path would exceed text::kMaxPathBytes; false also when
    // the write fails.
    bool SaveFile(std::string_view name);

    const std::string& TargetDir() const { return targetDir_.Value(); }
    void SetTargetDir(const std::string& dir) { targetDir_.Assign(dir); }

private:
    FormDataParser parser_;
    text::NarrowBuffer targetDir_;
};

// The value as text: the bytes up to its length or its first zero byte.
std::string TextOf(const FieldText& value);

}  // namespace tarnwick::upload
