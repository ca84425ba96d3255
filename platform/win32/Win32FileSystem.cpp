// Windows implementation of the file-system layer: the ANSI file API, so
// narrow paths are read in the system code page.
#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "platform/win32/Win32FileTime.h"

namespace tarnwick::platform {

bool DirectoryListing::Start(const std::string& pattern) {
    End();
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = h;
    pendingFirst_ = true;
    firstName_ = data.cFileName;
    return true;
}

bool DirectoryListing::Next(std::string& name) {
    if (!handle_) return false;
    if (pendingFirst_) {
        pendingFirst_ = false;
        name = firstName_;
        return true;
    }
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(static_cast<HANDLE>(handle_), &data)) return false;
    name = data.cFileName;
    return true;
}

void DirectoryListing::End() {
    if (handle_) FindClose(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    pendingFirst_ = false;
}

namespace {

// Reads up to size bytes into out, at most kReadPieceBytes a call; got is
// how many arrived (fewer at the end of the file). Under Wine a read holds
// the process's lock on its memory map until it returns, so one read of a
// big message would stop every other thread that allocates or starts.
constexpr DWORD kReadPieceBytes = 1024 * 1024;
bool ReadInPieces(HANDLE file, char* out, DWORD size, DWORD& got) {
    got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, out + got, std::min(size - got, kReadPieceBytes), &n, nullptr)) return false;
        if (n == 0) break;   // the end of the file
        got += n;
    }
    return true;
}

}  // namespace

bool MappedFile::Open(const std::string& path) {
    Close();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, nullptr);   // the low 32 bits
    std::unique_ptr<char[]> bytes;
    DWORD got = 0;
    if (size != INVALID_FILE_SIZE && size != 0) bytes.reset(new (std::nothrow) char[size]);
    const bool read = bytes && ReadInPieces(file, bytes.get(), size, got) && got == size;
    CloseHandle(file);
    if (!read) return false;
    read_ = std::move(bytes);
    data_ = read_.get();
    size_ = size;
    return true;
}

void MappedFile::Close() {
    read_.reset();
    data_ = nullptr;
    size_ = 0;
}

bool ReadFileHead(const std::string& path, std::string& bytes, bool (*enough)(const std::string& bytes)) {
    bytes.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    for (std::size_t piece = kFirstHeadPieceBytes; ok && !enough(bytes); piece *= 2) {
        const std::size_t had = bytes.size();
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(piece, 0x40000000));
        DWORD got = 0;
        bytes.resize(had + want);
        ok = ReadInPieces(file, &bytes[had], want, got);
        bytes.resize(had + got);
        if (got < want) break;   // the end of the file
    }
    CloseHandle(file);
    return ok && !bytes.empty();
}

bool DeleteFileAt(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CopyFileNoReplace(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), TRUE) != 0;
}

bool CreateDirectoryAt(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveDirectoryAt(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LastWriteTime(const std::string& path, long long& ticks) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    // A directory is asked for without its closing separator ("C:\" keeps it).
    std::string name = path;
    if (name.size() > 3 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return false;
    ticks = TicksOf(data.ftLastWriteTime);
    return true;
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::string TemporaryDirectory() {
    char buffer[256] = {};
    DWORD n = GetTempPathA(255, buffer);
    if (n == 0 || n > 255) return std::string();
    return std::string(buffer, n);
}

}  // namespace tarnwick::platform
