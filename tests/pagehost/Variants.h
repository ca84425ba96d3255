// Argument unpacking for hand-written IDispatch::Invoke, result setters, and the
// byte/hex/code-page conversions the script helpers are built from.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "host/Automation.h"

namespace pagehost {

// The positional arguments of one Invoke call, numbered from the first one the
// script wrote (DISPPARAMS stores them in reverse order).
class Args {
public:
    explicit Args(DISPPARAMS* params) : p_(params) {}
    UINT Count() const { return p_ ? p_->cArgs : 0; }
    // The argument with any VT_BYREF|VT_VARIANT indirection followed, so a
    // script variable passed by reference shows its own VARIANT.
    VARIANT* Raw(UINT index) const;
    // True when the script passed a variable by reference (so Raw is the
    // script's own storage and may be written back).
    bool ByRef(UINT index) const;
    HRESULT String(UINT index, std::wstring& out) const;
    HRESULT Long(UINT index, long& out) const;

private:
    DISPPARAMS* p_;
};

// The page host's helpers serve here too.
using tarnwick::host::Deref;
using tarnwick::host::MakeByteArray;
using tarnwick::host::SetLong;
using tarnwick::host::SetString;

// Byte buffers are std::string (one char per byte).
std::wstring BytesToHex(const std::string& bytes);
// Accepts upper and lower case digits and ignores white space; false on an odd
// digit count or a non-hex character.
bool HexToBytes(const std::wstring& hex, std::string& out);
std::wstring WideHex(const std::wstring& s);
bool FromWideHex(const std::wstring& hex, std::wstring& out);

// Conversions with the system ANSI code page, as the component does them.
inline std::string ToNarrow(const std::wstring& s) { return tarnwick::host::Narrow(s, CP_ACP); }
inline std::wstring ToWide(const std::string& s) { return tarnwick::host::Wide(s, CP_ACP); }

// One byte per UTF-16 unit; false if a unit is 256 or above.
bool UnitsToBytes(const std::wstring& s, std::string& out);
std::wstring BytesToUnits(const std::string& bytes);

// Outcome of looking at a VARIANT as a byte array.
enum class ByteArrayKind { Bytes, Empty, NotBytes };
// Accepts VT_ARRAY|VT_UI1 directly, by reference, or inside a VT_BYREF|VT_VARIANT;
// a null array counts as an empty one.
ByteArrayKind ReadByteArray(const VARIANT& v, std::string& out);

bool EqualsNoCase(const std::wstring& a, const wchar_t* b);

}  // namespace pagehost
