// The one rule for the last component of a path or of a file name a client
// sent, and the names a file may be saved under.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::text {

// What follows the last backslash or '/' (the second byte of a double-byte
// character, which may be 0x5C, is never taken for one) and a drive prefix ("C:") in front of
// the whole path or of that last component.
std::string_view LastPathComponent(std::string_view path);

// The name a client's file is saved under, and an attachment is named by:
// LastPathComponent of the name sent. Empty, and the file is not saved, when
// nothing usable is left: an empty name, one ending in a dot or a space ("."
// and ".." included), a reserved device name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, CONIN$, CONOUT$, with any extension and in any case), or a name
// holding a control byte or a character Windows refuses in names
// (< > : " / \ | ? *).
std::string SaveBaseName(std::string_view clientFileName);

// full as path, or false (path untouched) when it exceeds kMaxPathBytes:
// the one check of every path the component formats to open or write.
bool FitsPathBuffer(std::string full, std::string& path);

// Windows drops a trailing dot or space from a name, so a name ending in one
// ("." and ".." among them) would name another file.
inline bool EndsInDotOrSpace(std::string_view name) {
    return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

// A byte no file name may hold: a control byte or a character Windows
// refuses in names (':' would name a stream of another file on NTFS).
bool IsRefusedInFileName(char c);

}  // namespace tarnwick::text
