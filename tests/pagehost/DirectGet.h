// Reads a property of a dual-interface object through its vtable, bypassing
// IDispatch::Invoke: Wine's ITypeInfo::Invoke hands a null BSTR back as an
// empty one, so only a direct call shows what the object really returned.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace pagehost {

// The property getter `name` (no arguments) of `object`, found through the
// object's type information; the value lands in `result` unchanged (a null
// BSTR stays null). Supported value types: every type that fits a VARIANT.
HRESULT DirectGet(IDispatch* object, const std::wstring& name, VARIANT* result);

}  // namespace pagehost
