#include "upload/PostedForm.h"

#include <cstring>

#include "platform/FileSystem.h"
#include "text/FileNames.h"
#include "upload/FileSaving.h"

namespace tarnwick::upload {

PostedForm::PostedForm() { targetDir_.Assign(platform::TemporaryDirectory()); }

bool PostedForm::Parse(const char* body, std::int32_t bodyLength) {
    try {
        return parser_.Parse(body, bodyLength);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool PostedForm::UploadedFile(std::string_view name, FieldText& fileName, FieldText& data) const {
    if (!parser_.FieldIsFile(name)) return false;
    fileName = parser_.FieldValue(name);
    if (fileName.length == 0) return false;
    data = parser_.FileData(name, std::string_view(fileName.data, static_cast<std::size_t>(fileName.length)));
    return data.length > 0;
}

bool PostedForm::SaveFile(std::string_view name) {
    FieldText fileName, data;
    if (!UploadedFile(name, fileName, data)) return false;
    const std::string baseName = text::SaveBaseName(std::string_view(fileName.data, static_cast<std::size_t>(fileName.length)));
    if (baseName.empty()) return false;
    targetDir_.Assign(TrimTrailingBackslash(targetDir_.Value()));
    std::string path;
    return SavePath(targetDir_.Value(), baseName, path) && WriteWholeFile(path, data.data, data.length);
}

std::string TextOf(const FieldText& value) {
    if (value.data == nullptr || value.length <= 0) return std::string();
    const std::size_t n = static_cast<std::size_t>(value.length);
    const void* zero = std::memchr(value.data, 0, n);
    return std::string(value.data, zero ? static_cast<const char*>(zero) - value.data : n);
}

}  // namespace tarnwick::upload
