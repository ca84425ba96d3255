// Conversions between the automation strings at the interface (UTF-16
// BSTRs, null meaning empty) and the narrow strings inside (system code page).
#pragma once

#include <oaidl.h>

#include <string>

#include "frame/ComPtr.h"

namespace tarnwick::frame {

// Wide to narrow; a null string gives an empty text (absent).
std::string ToNarrow(BSTR text);
// Narrow text up to its first zero byte to a new BSTR. A null input gives a
// null string. Fails with the system's error code when the conversion fails,
// E_OUTOFMEMORY when the string cannot be made.
HRESULT ToWide(const char* text, BSTR* out);
inline HRESULT ToWide(const std::string& text, BSTR* out) { return ToWide(text.c_str(), out); }
// As ToWide, but the string is allocated at exactly the measured length.
HRESULT ToWideExact(const char* text, BSTR* out);
// UTF-16 text to a new BSTR of exactly its length (U+0000 included).
HRESULT ToBstr(const std::u16string& text, BSTR* out);
// A BSTR's characters as UTF-8; a null string gives an empty text.
std::string ToUtf8(BSTR text);
// A new copy of a stored string for a result (null stays null).
HRESULT CopyOut(BSTR stored, BSTR* out);
// Replaces a stored string with a copy of value.
HRESULT StoreCopy(BSTR value, Bstr& stored);
// A variant as a 32-bit integer, coerced by the platform's rules.
HRESULT VariantToLong(const VARIANT& value, long& out);

}  // namespace tarnwick::frame
