// Saving an uploaded file into the target directory. The file name comes
// from the client, so only the name text::SaveBaseName leaves is used and
// nothing is ever written outside the target directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::upload {

// The target directory as saving leaves it: one trailing backslash removed.
std::string TrimTrailingBackslash(const std::string& targetDir);

// targetDir + "\" + baseName, or false when that exceeds text::kMaxPathBytes.
bool SavePath(const std::string& targetDir, const std::string& baseName, std::string& path);

// Writes the bytes as the whole file (created or replaced); false on failure.
bool WriteWholeFile(const std::string& path, const char* data, std::int32_t length);

}  // namespace tarnwick::upload
