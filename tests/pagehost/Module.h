// Module-wide state of the test host DLL: its instance handle and the count of
// live objects and server locks that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

namespace pagehost {

HINSTANCE ModuleInstance();
void ModuleLock();
void ModuleUnlock();

}  // namespace pagehost
