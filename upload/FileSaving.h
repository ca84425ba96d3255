// Saving an uploaded file into the target directory. The file name comes
// from the client, so only its last component is used and nothing is ever
// written outside the target directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::upload {

// Paths are formatted into 256-byte buffers: at most 255 bytes.
constexpr std::size_t kMaxSavePathBytes = 255;

// The name a client's file is saved under, and an attachment is named by:
// what follows the last backslash or '/' (the second byte of a double-byte
// character is never one) and any drive prefix ("C:"). Empty, and the file is
// not saved, when nothing usable is left: an empty name, one ending in a dot
// or a space ("." and ".." included), a reserved device name (CON, PRN, AUX,
// NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, with any extension and in any
// case), or a name holding a control byte or a ':'.
std::string SaveBaseName(std::string_view clientFileName);

// The target directory as saving leaves it: one trailing backslash removed.
std::string TrimTrailingBackslash(const std::string& targetDir);

// targetDir + "\" + baseName, or false when that exceeds kMaxSavePathBytes.
bool SavePath(const std::string& targetDir, const std::string& baseName, std::string& path);

// Writes the bytes as the whole file (created or replaced); false on failure.
bool WriteWholeFile(const std::string& path, const char* data, std::int32_t length);

}  // namespace tarnwick::upload
