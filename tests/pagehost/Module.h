// Module-wide state of the test host DLL: the count of live objects and server
// locks that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

namespace pagehost {

void ModuleLock();
void ModuleUnlock();

}  // namespace pagehost
