// Type information of the component's dual interfaces, loaded once per
// process from the registered type library and kept by interface ID, with a
// cache of member names for script look-ups.
#pragma once

#include <oaidl.h>

namespace tarnwick::frame {

// The interface's type information, loaded on first use under one
// module-wide lock. On success *info is borrowed (no reference added).
HRESULT LoadTypeInfo(REFIID iid, LCID lcid, ITypeInfo** info);

// GetIDsOfNames through the name cache, falling back to the type information.
HRESULT GetIDsOfNamesCached(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);

}  // namespace tarnwick::frame
