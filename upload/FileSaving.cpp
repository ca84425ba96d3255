#include "upload/FileSaving.h"

#include <cstdio>

#include "text/FileNames.h"
#include "platform/FileSystem.h"

namespace tarnwick::upload {

std::string TrimTrailingBackslash(const std::string& targetDir) {
    if (!targetDir.empty() && targetDir.back() == '\\')
        return targetDir.substr(0, targetDir.size() - 1);
    return targetDir;
}

bool SavePath(const std::string& targetDir, const std::string& baseName, std::string& path) {
    return text::FitsPathBuffer(targetDir + "\\" + baseName, path);
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
