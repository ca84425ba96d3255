#include "platform/win32/CodePage.h"

#include <windows.h>

namespace tarnwick::platform {

bool WideToAnsi(const wchar_t* text, std::size_t units, std::string& out) {
    out.clear();
    if (units == 0) return true;
    // Every UTF-16 unit takes at most two bytes in a double-byte code page.
    out.resize(2 * units + 2);
    int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), &out[0],
                                static_cast<int>(out.size()), nullptr, nullptr);
    if (n <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

bool AnsiToWide(const char* text, std::size_t bytes, std::wstring& out) {
    out.clear();
    if (bytes == 0) return true;
    out.resize(bytes + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(bytes), &out[0],
                                static_cast<int>(out.size()));
    if (n <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

int WideLength(const char* text, std::size_t bytes) {
    if (bytes == 0) return 0;
    return MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(bytes), nullptr, 0);
}

unsigned long LastError() { return GetLastError(); }

}  // namespace tarnwick::platform
