#include "FileTools.h"

#include <algorithm>

#include "Variants.h"

namespace pagehost {

const wchar_t kMissing[] = L"<missing>";

namespace {

// A file or search handle, closed by `Close` unless it is invalid.
template <BOOL(WINAPI* Close)(HANDLE)>
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (Ok()) Close(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};
using FileHandle = Handle<CloseHandle>;
using FindHandle = Handle<FindClose>;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':') path.pop_back();
    return path;
}

std::wstring Join(const std::wstring& dir, const std::wstring& name) {
    if (!dir.empty() && IsSeparator(dir.back())) return dir + name;
    return dir + L'\\' + name;
}

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

HRESULT LastError() {
    DWORD e = GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

}  // namespace

HRESULT WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.Ok()) return LastError();
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(f.Get(), bytes.data() + done, chunk, &written, nullptr)) return LastError();
        done += written;
    }
    return S_OK;
}

bool ReadFileBytes(const std::wstring& path, std::string& out) {
    out.clear();
    FileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.Ok()) return false;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(f.Get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) break;
        out.append(buffer, got);
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(WithoutTrailingSeparator(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

HRESULT MakeDirs(const std::wstring& path) {
    std::wstring full = WithoutTrailingSeparator(path);
    if (full.empty()) return E_INVALIDARG;
    // Create each prefix that ends just before a separator, then the whole path.
    for (size_t i = 1; i <= full.size(); ++i) {
        if (i < full.size() && !IsSeparator(full[i])) continue;
        std::wstring prefix = full.substr(0, i);
        if (prefix.size() == 2 && prefix[1] == L':') continue;  // drive
        if (DirExists(prefix)) continue;
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return LastError();
    }
    return S_OK;
}

HRESULT RemoveTree(const std::wstring& path) {
    std::wstring target = WithoutTrailingSeparator(path);
    DWORD a = GetFileAttributesW(target.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return S_OK;
    if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(target.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(target.c_str()) ? S_OK : LastError();
    {
        WIN32_FIND_DATAW data;
        FindHandle find(FindFirstFileW(Join(target, L"*").c_str(), &data));
        if (find.Ok()) {
            do {
                if (IsDotEntry(data.cFileName)) continue;
                HRESULT hr = RemoveTree(Join(target, data.cFileName));
                if (FAILED(hr)) return hr;
            } while (FindNextFileW(find.Get(), &data));
        }
    }
    return RemoveDirectoryW(target.c_str()) ? S_OK : LastError();
}

std::wstring ListDir(const std::wstring& path) {
    if (!DirExists(path)) return kMissing;
    std::wstring names;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(Join(path, L"*").c_str(), &data));
    if (!find.Ok()) return names;
    bool first = true;
    do {
        if (IsDotEntry(data.cFileName)) continue;
        if (!first) names += L'|';
        names += data.cFileName;
        first = false;
    } while (FindNextFileW(find.Get(), &data));
    return names;
}

std::wstring TempDir() {
    // The ANSI call, because that is the one the component uses.
    char buffer[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    return ToWide(std::string(buffer, n));
}

HRESULT NewScratchDir(std::wstring& out) {
    static LONG counter = 0;
    std::wstring base = TempDir();
    if (base.empty()) return E_FAIL;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring dir = base + L"twtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(dir.c_str(), nullptr)) {
            out = dir + L'\\';
            return S_OK;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return LastError();
    }
    return E_FAIL;
}

}  // namespace pagehost
