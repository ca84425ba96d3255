// Helpers for hand-written automation objects: positional arguments of an
// Invoke call, result setters, byte arrays, and text conversions with a
// page's code page.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

namespace tarnwick::host {

// Follows VT_BYREF|VT_VARIANT chains.
const VARIANT* Deref(const VARIANT* v);

// The positional arguments of one Invoke call, numbered from the first one the
// script wrote (DISPPARAMS stores them in reverse order). For a property
// assignment the assigned value is not among them: see Invocation::value.
class Args {
public:
    Args(DISPPARAMS* params, UINT skipped) : p_(params), skipped_(skipped) {}
    UINT Count() const { return p_ ? p_->cArgs - skipped_ : 0; }
    // The argument with any VT_BYREF|VT_VARIANT indirection followed.
    VARIANT* Raw(UINT index) const;
    bool ByRef(UINT index) const;
    // Missing, Empty and Null count as absent (optional arguments).
    bool Present(UINT index) const;
    HRESULT String(UINT index, std::wstring& out) const;
    HRESULT Long(UINT index, long& out) const;

private:
    DISPPARAMS* p_;
    UINT skipped_;
};

// A variant coerced to text or a number by the automation rules.
HRESULT VariantText(const VARIANT& v, std::wstring& out);
HRESULT VariantLong(const VARIANT& v, long& out);

HRESULT SetString(VARIANT* result, const std::wstring& s);
void SetLong(VARIANT* result, long value);
void SetBool(VARIANT* result, bool value);
// Hands an object to the script (one reference added).
void SetDispatch(VARIANT* result, IDispatch* object);

// Byte arrays (VT_ARRAY|VT_UI1, directly or by reference); a null array is
// an empty one. False when v is not a byte array.
bool ReadByteArray(const VARIANT& v, std::string& out);
// A copy of bytes as a new byte array, made by the frame's builder
// (frame/ComBoundary.h).
HRESULT CopyByteArray(std::string_view bytes, VARIANT* out);

// Text conversions with a code page (the system's when 0), done by
// platform/Charset.h; "" when the code page cannot convert.
std::string Narrow(const std::wstring& s, UINT codePage);
std::wstring Wide(const std::string& s, UINT codePage);

bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

}  // namespace tarnwick::host
