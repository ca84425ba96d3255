// Module-wide state of Tarnwick.dll: the lock count that decides unloading,
// the module handle, and actions run when the module terminates.
#pragma once

#include <windows.h>

namespace tarnwick::frame {

// +1 for each live object, each LockServer(TRUE) and each class factory held
// by a client beyond the module's own reference.
void LockModule();
void UnlockModule();
long ModuleLockCount();

void SetModuleInstance(HINSTANCE instance);
// The module file's full path; false if it does not fit.
bool ModulePath(char (&path)[MAX_PATH]);

// Runs at module termination (process detach), latest registered first.
void AddTerminationAction(void (*action)());
void RunTerminationActions();

}  // namespace tarnwick::frame
