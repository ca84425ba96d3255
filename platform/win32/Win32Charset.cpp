#include "platform/Charset.h"

#include <windows.h>

#include <climits>

namespace tarnwick::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is the wide character of Windows");

namespace {

// UTF-16 bytes are already the wide text: each pair is one unit.
bool DecodeUtf16(bool bigEndian, std::string_view bytes, std::u16string& out, bool strict) {
    if (strict && bytes.size() % 2 != 0) return false;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = static_cast<unsigned char>(bytes[i]);
        const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    if (bytes.size() % 2 != 0) out += u'\xFFFD';   // half a unit at the end
    return true;
}

}  // namespace

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out, bool strict) {
    out.clear();
    if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage)
        return DecodeUtf16(codePage == kUtf16BeCodePage, bytes, out, strict);
    if (bytes.empty()) return IsValidCodePage(codePage == kSystemCodePage ? GetACP() : codePage) != FALSE;
    if (bytes.size() > INT_MAX) return false;
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int n = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, flags, bytes.data(), n, nullptr, 0);
    if (units <= 0) return false;
    out.resize(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(codePage, flags, bytes.data(), n, reinterpret_cast<wchar_t*>(&out[0]), units) != units) {
        out.clear();
        return false;
    }
    return true;
}

bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    if (text.size() > INT_MAX / 4) return false;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int n = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(codePage, 0, wide, n, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    out.resize(static_cast<std::size_t>(bytes));
    if (WideCharToMultiByte(codePage, 0, wide, n, &out[0], bytes, nullptr, nullptr) != bytes) {
        out.clear();
        return false;
    }
    return true;
}

unsigned long LastError() { return GetLastError(); }

unsigned SystemCodePage() { return GetACP(); }

bool IsSystemLeadByte(char c) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != FALSE; }

}  // namespace tarnwick::platform
