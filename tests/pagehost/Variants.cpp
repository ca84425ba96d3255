#include "Variants.h"

#include <oleauto.h>

namespace pagehost {

namespace {

// The locale of NeutralText and NeutralLong.
constexpr LCID kConversionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Converts a copy of the argument with every indirection removed.
HRESULT Coerce(const VARIANT* arg, VARTYPE vt, VARIANT* out) {
    Variant plain;
    HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(arg));
    if (FAILED(hr)) return hr;
    return VariantChangeTypeEx(out, &plain, kConversionLocale, 0, vt);
}

}  // namespace

HRESULT NeutralText(const VARIANT* v, std::wstring& out) {
    if (!v) return DISP_E_BADPARAMCOUNT;
    Variant converted;
    HRESULT hr = Coerce(v, VT_BSTR, &converted);
    if (FAILED(hr)) return hr;
    BSTR s = V_BSTR(&converted);
    out.assign(s ? s : L"", s ? SysStringLen(s) : 0);
    return S_OK;
}

HRESULT NeutralLong(const VARIANT* v, long& out) {
    if (!v) return DISP_E_BADPARAMCOUNT;
    Variant converted;
    HRESULT hr = Coerce(v, VT_I4, &converted);
    if (FAILED(hr)) return hr;
    out = V_I4(&converted);
    return S_OK;
}

std::wstring BytesToHex(const std::string& bytes) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

bool HexToBytes(const std::wstring& hex, std::string& out) {
    out.clear();
    int high = -1;
    for (wchar_t c : hex) {
        if (IsSpace(c)) continue;
        int d = HexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<char>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

std::wstring WideHex(const std::wstring& s) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(s.size() * 4);
    for (wchar_t c : s) {
        unsigned u = static_cast<unsigned short>(c);
        for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[(u >> shift) & 15]);
    }
    return out;
}

bool FromWideHex(const std::wstring& hex, std::wstring& out) {
    out.clear();
    unsigned unit = 0;
    int digits = 0;
    for (wchar_t c : hex) {
        if (IsSpace(c)) continue;
        int d = HexDigit(c);
        if (d < 0) return false;
        unit = unit * 16 + static_cast<unsigned>(d);
        if (++digits == 4) {
            out.push_back(static_cast<wchar_t>(unit));
            unit = 0;
            digits = 0;
        }
    }
    return digits == 0;
}

bool UnitsToBytes(const std::wstring& s, std::string& out) {
    out.clear();
    out.reserve(s.size());
    for (wchar_t c : s) {
        if (static_cast<unsigned>(c) > 255) return false;
        out.push_back(static_cast<char>(c));
    }
    return true;
}

std::wstring BytesToUnits(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) out.push_back(static_cast<wchar_t>(c));
    return out;
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    return lstrcmpiW(a.c_str(), b) == 0;
}

}  // namespace pagehost
