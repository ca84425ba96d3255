// File-system helpers for test scripts, which cannot write binary files under
// Wine. Paths are Windows paths; "<missing>" is what the readers return for a
// path that does not exist.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

extern const wchar_t kMissing[];

HRESULT WriteFileBytes(const std::wstring& path, const std::string& bytes);
// False when the file cannot be opened (missing or a directory).
bool ReadFileBytes(const std::wstring& path, std::string& out);
bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
long FileSize(const std::wstring& path);
// Creates every missing level; an existing directory is not an error.
HRESULT MakeDirs(const std::wstring& path);
// Deletes a file or a whole directory tree; a missing path is not an error.
HRESULT RemoveTree(const std::wstring& path);
// Names in FindFirstFile order without "." and "..", joined by "|";
// kMissing when the directory does not exist.
std::wstring ListDir(const std::wstring& path);
std::wstring TempDir();
// A new, empty directory under TempDir(); the path ends with a backslash.
HRESULT NewScratchDir(std::wstring& out);

}  // namespace pagehost
