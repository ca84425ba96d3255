#include "host/page/Automation.h"

#include <oleauto.h>

#include <algorithm>

#include "frame/ComBoundary.h"
#include "frame/ComPtr.h"
#include "platform/Charset.h"

namespace tarnwick::host {

using frame::SafeArrayData;
using frame::Variant;

const VARIANT* Deref(const VARIANT* v) {
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

VARIANT* Args::Raw(UINT index) const {
    if (index >= Count()) return nullptr;
    return const_cast<VARIANT*>(Deref(&p_->rgvarg[p_->cArgs - 1 - index]));
}

bool Args::ByRef(UINT index) const {
    return index < Count() && V_VT(&p_->rgvarg[p_->cArgs - 1 - index]) == (VT_BYREF | VT_VARIANT);
}

bool Args::Present(UINT index) const {
    const VARIANT* v = Raw(index);
    if (!v) return false;
    if (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND) return false;
    return V_VT(v) != VT_EMPTY && V_VT(v) != VT_NULL;
}

HRESULT Args::String(UINT index, std::wstring& out) const {
    const VARIANT* v = Raw(index);
    if (!v) return DISP_E_BADPARAMCOUNT;
    return VariantText(*v, out);
}

HRESULT Args::Long(UINT index, long& out) const {
    const VARIANT* v = Raw(index);
    if (!v) return DISP_E_BADPARAMCOUNT;
    return VariantLong(*v, out);
}

HRESULT VariantText(const VARIANT& v, std::wstring& out) {
    out.clear();
    Variant plain, text;
    HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(&v));
    if (FAILED(hr)) return hr;
    if (V_VT(&plain) == VT_NULL || V_VT(&plain) == VT_EMPTY) return S_OK;
    hr = VariantChangeType(&text, &plain, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    BSTR s = V_BSTR(&text);
    out.assign(s ? s : L"", s ? SysStringLen(s) : 0);
    return S_OK;
}

HRESULT VariantLong(const VARIANT& v, long& out) {
    out = 0;
    Variant plain, number;
    HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(&v));
    if (FAILED(hr)) return hr;
    hr = VariantChangeType(&number, &plain, 0, VT_I4);
    if (FAILED(hr)) return hr;
    out = V_I4(&number);
    return S_OK;
}

HRESULT SetString(VARIANT* result, const std::wstring& s) {
    BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!b) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = b;
    return S_OK;
}

void SetLong(VARIANT* result, long value) {
    V_VT(result) = VT_I4;
    V_I4(result) = value;
}

void SetBool(VARIANT* result, bool value) {
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetDispatch(VARIANT* result, IDispatch* object) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    if (object) object->AddRef();
}

bool ReadByteArray(const VARIANT& v, std::string& out) {
    out.clear();
    const VARIANT* p = Deref(&v);
    SAFEARRAY* sa = nullptr;
    if (V_VT(p) == (VT_ARRAY | VT_UI1)) {
        sa = V_ARRAY(p);
    } else if (V_VT(p) == (VT_BYREF | VT_ARRAY | VT_UI1)) {
        sa = V_ARRAYREF(p) ? *V_ARRAYREF(p) : nullptr;
    } else {
        return false;
    }
    if (!sa || sa->cDims == 0) return true;
    if (SafeArrayGetElemsize(sa) != 1) return false;
    size_t count = 1;
    for (UINT d = 0; d < sa->cDims; ++d) count *= sa->rgsabound[d].cElements;
    SafeArrayData data;
    if (FAILED(data.Lock(sa))) return false;
    out.assign(static_cast<const char*>(data.Data()), count);
    return true;
}

HRESULT CopyByteArray(std::string_view bytes, VARIANT* out) {
    return frame::MakeByteArray(
        bytes.size(),
        [bytes](char* data) {
            std::copy(bytes.begin(), bytes.end(), data);
            return bytes.size();
        },
        out);
}

std::string Narrow(const std::wstring& s, UINT codePage) {
    std::string out;
    platform::EncodeCodePage(codePage, std::u16string_view(reinterpret_cast<const char16_t*>(s.data()), s.size()),
                             out);
    return out;
}

std::wstring Wide(const std::string& s, UINT codePage) {
    // A page's code page is one the system converts from bytes itself;
    // UTF-16 (which the platform reads on its own) is none.
    if (codePage == platform::kUtf16LeCodePage || codePage == platform::kUtf16BeCodePage) return std::wstring();
    std::u16string out;
    platform::DecodeCodePage(codePage, s, out);
    return std::wstring(out.begin(), out.end());
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace tarnwick::host
