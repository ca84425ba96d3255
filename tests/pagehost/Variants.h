// Argument conversions for the test host's members, and the byte/hex/code-page
// conversions the script helpers are built from.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "frame/ComPtr.h"
#include "host/page/ScriptObject.h"

namespace pagehost {

// The page host's dispatch and helpers and the component's owners serve here too.
using tarnwick::frame::Bstr;
using tarnwick::frame::ComPtr;
using tarnwick::frame::Variant;
using tarnwick::host::Access;
using tarnwick::host::Args;
using tarnwick::host::Deref;
using tarnwick::host::Invocation;
using tarnwick::host::CopyByteArray;
using tarnwick::host::Member;
using tarnwick::host::ReadByteArray;
using tarnwick::host::SetLong;
using tarnwick::host::SetString;
using tarnwick::host::TableOf;

// An argument or assigned value as text or a number. Unlike the page host's
// conversions these are locale-neutral (US English), so a number or date turns
// into the same text on every system, and Null is a type mismatch.
// DISP_E_BADPARAMCOUNT when v is null (an argument the script left out).
HRESULT NeutralText(const VARIANT* v, std::wstring& out);
HRESULT NeutralLong(const VARIANT* v, long& out);

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

bool EqualsNoCase(const std::wstring& a, const wchar_t* b);

}  // namespace pagehost
