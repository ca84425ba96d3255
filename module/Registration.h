// Self-registration: the registry keys of each class under HKEY_CLASSES_ROOT
// and the type library contained in the module.
#pragma once

#include <windows.h>

#include "module/ClassTable.h"

namespace tarnwick::module {

HRESULT RegisterClassKeys(const ClassEntry& entry, const char* modulePath);
HRESULT UnregisterClassKeys(const ClassEntry& entry);
HRESULT RegisterModuleTypeLib(const char* modulePath);
HRESULT UnregisterModuleTypeLib();

}  // namespace tarnwick::module
