// posix implementation of the file-system layer (native builds and tools).
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>

#include "platform/posix/PosixFileTime.h"

namespace tarnwick::platform {
namespace {

std::string ToPosixPath(const std::string& path) {
    std::string result = path;
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

}  // namespace

bool DirectoryListing::Start(const std::string& pattern) {
    End();
    std::string path = ToPosixPath(pattern);
    // Drop the wildcard component: "dir/*.*" lists "dir/".
    std::string::size_type slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    handle_ = d;
    return true;
}

bool DirectoryListing::Next(std::string& name) {
    if (!handle_) return false;
    dirent* e = readdir(static_cast<DIR*>(handle_));
    if (!e) return false;
    name = e->d_name;
    return true;
}

void DirectoryListing::End() {
    if (handle_) closedir(static_cast<DIR*>(handle_));
    handle_ = nullptr;
}

bool MappedFile::Open(const std::string& path) {
    Close();
    int fd = ::open(ToPosixPath(path).c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        ::close(fd);
        return false;
    }
    // File sizes are taken as 32-bit values, as on the target systems.
    std::uint32_t size = static_cast<std::uint32_t>(st.st_size);
    if (size == 0) {
        ::close(fd);
        return false;
    }
    if (size <= kReadWholeBytes) {
        std::unique_ptr<char[]> bytes(new (std::nothrow) char[size]);
        std::uint32_t got = 0;
        while (bytes && got < size) {
            const ssize_t n = ::read(fd, bytes.get() + got, size - got);
            if (n <= 0 && !(n < 0 && errno == EINTR)) break;
            if (n > 0) got += static_cast<std::uint32_t>(n);
        }
        ::close(fd);
        if (!bytes || got != size) return false;
        read_ = std::move(bytes);
        data_ = read_.get();
        size_ = size;
        return true;
    }
    void* p = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return false;
    data_ = static_cast<const char*>(p);
    size_ = size;
    return true;
}

void MappedFile::Close() {
    if (data_ && !read_) munmap(const_cast<char*>(data_), size_);
    read_.reset();
    data_ = nullptr;
    size_ = 0;
}

bool ReadFileHead(const std::string& path, std::string& bytes, bool (*enough)(const std::string& bytes)) {
    bytes.clear();
    int fd = ::open(ToPosixPath(path).c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    for (std::size_t piece = kFirstHeadPieceBytes; ok && !enough(bytes); piece *= 2) {
        const std::size_t had = bytes.size();
        bytes.resize(had + piece);
        ssize_t got;
        do {
            got = ::read(fd, &bytes[had], piece);
        } while (got < 0 && errno == EINTR);
        ok = got >= 0;
        bytes.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got == 0) break;   // the end of the file
    }
    ::close(fd);
    return ok && !bytes.empty();
}

bool DeleteFileAt(const std::string& path) {
    std::string p = ToPosixPath(path);
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return unlink(p.c_str()) == 0;
}

bool CopyFileNoReplace(const std::string& from, const std::string& to) {
    int in = ::open(ToPosixPath(from).c_str(), O_RDONLY);
    if (in < 0) return false;
    int out = ::open(ToPosixPath(to).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) { ok = false; break; }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w <= 0) { ok = false; break; }
            done += w;
        }
        if (!ok) break;
    }
    ::close(in);
    ::close(out);
    if (!ok) ::unlink(ToPosixPath(to).c_str());
    return ok;
}

bool CreateDirectoryAt(const std::string& path) {
    return mkdir(ToPosixPath(path).c_str(), 0755) == 0;
}

bool RemoveDirectoryAt(const std::string& path) {
    return rmdir(ToPosixPath(path).c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(ToPosixPath(path).c_str(), &st) == 0;
}

bool LastWriteTime(const std::string& path, long long& ticks) {
    struct stat st;
    if (stat(ToPosixPath(path).c_str(), &st) != 0) return false;
    ticks = FileTimeOf(st.st_mtim);
    return true;
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return stat(ToPosixPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
    return std::fopen(ToPosixPath(path).c_str(), mode);
}

std::string TemporaryDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    if (dir.back() != '/') dir += '/';
    if (dir.size() > 255) dir.resize(255);
    return dir;
}

}  // namespace tarnwick::platform
