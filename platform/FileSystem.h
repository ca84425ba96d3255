// File-system access for the engine. Paths are narrow Windows paths (system
// code page, backslash separators) exactly as the engine formats them; the
// posix implementation turns each backslash into '/' before the system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tarnwick::platform {

// A directory listing by wildcard pattern ("D:\mail\ann\mailbox\*.*"), in the
// order the platform enumerates entries. Only patterns whose last component
// matches every name ("*.*" or "*") are supported by the posix side.
class DirectoryListing {
public:
    DirectoryListing() = default;
    ~DirectoryListing() { End(); }
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // Starts the listing; false when the directory cannot be listed.
    bool Start(const std::string& pattern);
    // The next entry's name (including "." and ".."); false at the end.
    bool Next(std::string& name);
    void End();

private:
    void* handle_ = nullptr;
#ifdef _WIN32
    bool pendingFirst_ = false;   // the first entry came with Start
    std::string firstName_;
#endif
};

// A whole file in memory, read-only, opened for reading and shared with
// other readers only. On Windows every file is read into a buffer of its
// own: under Wine a Linux process can shorten a file whatever the sharing
// says, and a mapping of it would then fault in the middle of a page; and
// for the small files mail mostly is, one read also costs less than a
// mapping. Elsewhere a file of up to kReadWholeBytes is read, and a larger
// one mapped.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    static constexpr std::uint32_t kReadWholeBytes = 256 * 1024;

    // False when the file is missing, not a regular file, empty (an empty
    // file cannot be mapped) or cannot be read or mapped; nothing stays open
    // then.
    bool Open(const std::string& path);
    void Close();
    const char* Begin() const { return data_; }
    const char* End() const { return data_ + size_; }
    std::uint32_t Size() const { return size_; }

private:
    const char* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::unique_ptr<char[]> read_;   // the file's bytes, when read (not mapped)
};

// The start of a file, read a growing piece at a time until enough(bytes)
// says it holds what is wanted or the file ends: a message's header without
// its body. False when the file cannot be opened or read, or is empty.
bool ReadFileHead(const std::string& path, std::string& bytes, bool (*enough)(const std::string& bytes));
constexpr std::size_t kFirstHeadPieceBytes = 16 * 1024;   // then doubled each time

bool DeleteFileAt(const std::string& path);
// Copies a file; refuses (false) when the target exists or cannot be made.
bool CopyFileNoReplace(const std::string& from, const std::string& to);
bool CreateDirectoryAt(const std::string& path);
// Removes a directory; succeeds only when it is empty.
bool RemoveDirectoryAt(const std::string& path);
bool FileExists(const std::string& path);
// The last-write time of a file or directory (a directory changes when an
// entry is added, removed or renamed) in file-time ticks (platform/Clock.h);
// false when it cannot be read.
bool LastWriteTime(const std::string& path, long long& ticks);
bool DirectoryExists(const std::string& path);
// Opens a file with the C library (mode as for fopen); null on failure.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// The system directory for temporary files, ending with a separator, as the
// platform reports it into a buffer of 256 bytes (at most 255 bytes).
std::string TemporaryDirectory();

}  // namespace tarnwick::platform
