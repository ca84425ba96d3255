#include "frame/StringConversion.h"

#include <cstring>

#include "frame/ComPtr.h"
#include "platform/win32/CodePage.h"

namespace tarnwick::frame {

std::string ToNarrow(BSTR text) {
    std::string narrow;
    if (text) platform::WideToAnsi(text, SysStringLen(text), narrow);
    // Text is zero-terminated inside: an embedded zero unit ends it.
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

HRESULT ToWide(const char* text, BSTR* out) {
    *out = nullptr;
    if (!text) return S_OK;
    std::wstring wide;
    if (!platform::AnsiToWide(text, std::strlen(text), wide))
        return HRESULT_FROM_WIN32(platform::LastError());
    *out = SysAllocString(wide.c_str());   // up to the first zero unit
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToWideExact(const char* text, BSTR* out) {
    *out = nullptr;
    if (!text) return S_OK;
    std::size_t bytes = std::strlen(text);
    int units = platform::WideLength(text, bytes);
    if (bytes > 0 && units <= 0) return HRESULT_FROM_WIN32(platform::LastError());
    std::wstring wide;
    if (!platform::AnsiToWide(text, bytes, wide))
        return HRESULT_FROM_WIN32(platform::LastError());
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(units));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CopyOut(BSTR stored, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!stored) return S_OK;
    *out = SysAllocStringByteLen(reinterpret_cast<const char*>(stored), SysStringByteLen(stored));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT StoreCopy(BSTR value, Bstr& stored) {
    Bstr copy;
    HRESULT hr = CopyOut(value, copy.Put());
    if (FAILED(hr)) return hr;
    stored = std::move(copy);
    return S_OK;
}

HRESULT VariantToLong(const VARIANT& value, long& out) {
    if (value.vt == VT_I4) {
        out = value.lVal;
        return S_OK;
    }
    Variant copy;
    HRESULT hr = VariantCopy(&copy, const_cast<VARIANT*>(&value));
    if (SUCCEEDED(hr)) hr = VariantChangeType(&copy, &copy, 0, VT_I4);
    if (FAILED(hr)) return hr;
    out = copy.Ref().lVal;
    return S_OK;
}

}  // namespace tarnwick::frame
