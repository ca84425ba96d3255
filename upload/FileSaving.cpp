#include "upload/FileSaving.h"

#include <cstdio>

#include "platform/FileSystem.h"

namespace tarnwick::upload {

std::string SaveBaseName(std::string_view clientFileName) {
    std::string_view name = clientFileName;
    std::size_t cut = name.find_last_of("\\/");
    if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
    // "C:report.txt" names a file relative to a drive's current directory.
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.remove_prefix(2);
    if (name.empty() || name == "." || name == "..") return std::string();
    return std::string(name);
}

std::string TrimTrailingBackslash(const std::string& targetDir) {
    if (!targetDir.empty() && targetDir.back() == '\\')
        return targetDir.substr(0, targetDir.size() - 1);
    return targetDir;
}

bool SavePath(const std::string& targetDir, const std::string& baseName, std::string& path) {
    std::string full = targetDir + "\\" + baseName;
    if (full.size() > kMaxSavePathBytes) return false;
    path = std::move(full);
    return true;
}

bool WriteWholeFile(const std::string& path, const char* data, std::int32_t length) {
    std::FILE* file = platform::OpenStdioFile(path, "w+b");
    if (!file) return false;
    std::size_t n = length > 0 ? static_cast<std::size_t>(length) : 0;
    bool ok = std::fwrite(data, 1, n, file) == n;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace tarnwick::upload
