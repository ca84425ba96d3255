#include "upload/FileSaving.h"

#include <cstdio>

#include "frame/NarrowText.h"
#include "platform/FileSystem.h"

namespace tarnwick::upload {

namespace {

// Names Windows opens as a device in every directory, whatever follows the
// first dot; COM1-COM9 and LPT1-LPT9 are matched apart.
constexpr std::string_view kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};

bool IsDeviceName(std::string_view name) {
    // Windows compares the part before the first dot, its trailing spaces
    // dropped, so "con .txt" is the console too.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : kDeviceNames)
        if (frame::EqualIgnoringAsciiCase(stem, device)) return true;
    return stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9' &&
           (frame::EqualIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
            frame::EqualIgnoringAsciiCase(stem.substr(0, 3), "LPT"));
}

// Bytes no saved name may hold: control bytes, which Windows cannot store
// and which would break an attachment's header lines, and ':', which on NTFS
// names a stream of another file.
bool HasUnstorableByte(std::string_view name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == ':') return true;
    return false;
}

}  // namespace

std::string SaveBaseName(std::string_view clientFileName) {
    std::string_view name = clientFileName;
    // The last separator outside a double-byte character: a GBK second byte
    // may be 0x5C, the backslash.
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (platform::IsSystemLeadByte(name[i]))
            ++i;
        else if (name[i] == '\\' || name[i] == '/')
            start = i + 1;
    }
    name.remove_prefix(start);
    // "C:report.txt" names a file relative to a drive's current directory.
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.remove_prefix(2);
    // Windows drops a trailing dot or space, so such a name (".." among
    // them) would be saved under another one.
    if (name.empty() || name.back() == '.' || name.back() == ' ') return std::string();
    if (HasUnstorableByte(name) || IsDeviceName(name)) return std::string();
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
