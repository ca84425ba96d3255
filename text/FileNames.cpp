#include "text/FileNames.h"

#include <utility>

#include "text/NarrowText.h"

namespace tarnwick::text {
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
        if (EqualIgnoringAsciiCase(stem, device)) return true;
    return stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9' &&
           (EqualIgnoringAsciiCase(stem.substr(0, 3), "COM") || EqualIgnoringAsciiCase(stem.substr(0, 3), "LPT"));
}

// Bytes no saved name may hold.
bool HasUnstorableByte(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (StartsDoubleByte(name, i, Pairing::TrailRange))
            ++i;
        else if (IsRefusedInFileName(name[i]))
            return true;
    }
    return false;
}

bool StartsWithDrive(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

}  // namespace

std::string_view LastPathComponent(std::string_view path) {
    // "C:report.txt" names a file relative to a drive's current directory.
    if (StartsWithDrive(path)) path.remove_prefix(2);
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        // A '/' after a lead byte is no trail byte and still separates; a
        // backslash may be one.
        if (StartsDoubleByte(path, i, Pairing::TrailRange))
            ++i;
        else if (path[i] == '\\' || path[i] == '/')
            start = i + 1;
    }
    path.remove_prefix(start);
    if (StartsWithDrive(path)) path.remove_prefix(2);
    return path;
}

std::string SaveBaseName(std::string_view clientFileName) {
    const std::string_view name = LastPathComponent(clientFileName);
    if (name.empty() || EndsInDotOrSpace(name)) return std::string();
    if (HasUnstorableByte(name) || IsDeviceName(name)) return std::string();
    return std::string(name);
}

bool FitsPathBuffer(std::string full, std::string& path) {
    if (full.size() > kMaxPathBytes) return false;
    path = std::move(full);
    return true;
}

bool IsRefusedInFileName(char c) {
    constexpr std::string_view kRefused = "<>:\"/\\|?*";
    return static_cast<unsigned char>(c) < 0x20 || kRefused.find(c) != std::string_view::npos;
}

}  // namespace tarnwick::text
