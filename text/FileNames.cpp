#include "text/FileNames.h"

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

// Whether a double-byte character starts at name[i]: a lead byte and a
// second byte of 0x40 or above ('|' and '\\' may be second bytes).
bool IsDoubleByteAt(std::string_view name, std::size_t i) {
    return IsLeadByte(name[i]) && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x40;
}

// Bytes no saved name may hold: control bytes and the characters Windows
// refuses in a file name (':' would name a stream of another file on NTFS).
bool HasUnstorableByte(std::string_view name) {
    constexpr std::string_view kRefused = "<>:\"/\\|?*";
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (IsDoubleByteAt(name, i)) {
            ++i;
            continue;
        }
        if (static_cast<unsigned char>(name[i]) < 0x20 || kRefused.find(name[i]) != std::string_view::npos) return true;
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
        // A second byte is 0x40 or above, so a '/' after a lead byte is no
        // part of a character and still separates; a backslash may be one.
        if (IsDoubleByteAt(path, i))
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
    // Windows drops a trailing dot or space, so such a name (".." among
    // them) would be saved under another one.
    if (name.empty() || name.back() == '.' || name.back() == ' ') return std::string();
    if (HasUnstorableByte(name) || IsDeviceName(name)) return std::string();
    return std::string(name);
}

}  // namespace tarnwick::text
