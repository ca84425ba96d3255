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

// The name a client's file is saved under: what follows the last backslash,
// the last '/' and any drive prefix ("C:"). Empty when nothing usable is
// left ("", "." or ".."): such a file is not saved.
std::string SaveBaseName(std::string_view clientFileName);

// The target directory as saving leaves it: one trailing backslash removed.
std::string TrimTrailingBackslash(const std::string& targetDir);

// targetDir + "\" + baseName, or false when that exceeds kMaxSavePathBytes.
bool SavePath(const std::string& targetDir, const std::string& baseName, std::string& path);

// Writes the bytes as the whole file (created or replaced); false on failure.
bool WriteWholeFile(const std::string& path, const char* data, std::int32_t length);

}  // namespace tarnwick::upload
