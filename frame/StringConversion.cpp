#include "frame/StringConversion.h"

#include <cstring>

#include "frame/ComPtr.h"
#include "platform/Charset.h"
#include "text/Charsets.h"

namespace tarnwick::frame {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR units are UTF-16 code units");

// text in the system code page as UTF-16; false with the system's reason.
HRESULT Widen(const char* text, std::u16string& wide) {
    if (!platform::DecodeCodePage(platform::kSystemCodePage, std::string_view(text, std::strlen(text)), wide))
        return HRESULT_FROM_WIN32(platform::LastError());
    return S_OK;
}

}  // namespace

std::string ToNarrow(BSTR text) {
    std::string narrow;
    if (text)
        platform::EncodeCodePage(platform::kSystemCodePage,
                                 std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)),
                                 narrow);
    // Text is zero-terminated inside: an embedded zero unit ends it.
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

HRESULT ToWide(const char* text, BSTR* out) {
    *out = nullptr;
    if (!text) return S_OK;
    std::u16string wide;
    HRESULT hr = Widen(text, wide);
    if (FAILED(hr)) return hr;
    *out = SysAllocString(reinterpret_cast<const wchar_t*>(wide.c_str()));   // up to the first zero unit
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToWideExact(const char* text, BSTR* out) {
    *out = nullptr;
    if (!text) return S_OK;
    std::u16string wide;
    HRESULT hr = Widen(text, wide);
    if (FAILED(hr)) return hr;
    *out = SysAllocStringLen(reinterpret_cast<const wchar_t*>(wide.data()), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToBstr(const std::u16string& text, BSTR* out) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR units are UTF-16 code units");
    BSTR result = SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()), static_cast<UINT>(text.size()));
    if (!result) return E_OUTOFMEMORY;
    *out = result;
    return S_OK;
}

std::string ToUtf8(BSTR text) {
    return text::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
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
