// Type information of the four interfaces, loaded once per process from the
// registered type library, with a cache of member names for script look-ups.
#pragma once

#include <oaidl.h>

namespace tarnwick::frame {

enum class InterfaceIndex { Mail, HanZi, SendMail, Upload, Count };

// The interface's type information, loaded on first use under one
// module-wide lock. On success *info is borrowed (no reference added).
HRESULT LoadTypeInfo(InterfaceIndex index, LCID lcid, ITypeInfo** info);

// GetIDsOfNames through the name cache, falling back to the type information.
HRESULT GetIDsOfNamesCached(InterfaceIndex index, LPOLESTR* names, UINT count, LCID lcid,
                            DISPID* ids);

}  // namespace tarnwick::frame
