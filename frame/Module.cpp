// Module-wide state: lock count, module handle, termination actions.
#include "frame/Module.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace tarnwick::frame {
namespace {

std::atomic<long> lockCount{0};
HINSTANCE moduleInstance = nullptr;

std::mutex& TerminationLock() {
    static std::mutex lock;
    return lock;
}

std::vector<void (*)()>& TerminationActions() {
    static std::vector<void (*)()> actions;
    return actions;
}

}  // namespace

void RunTerminationActions() {
    std::vector<void (*)()> actions;
    {
        std::lock_guard<std::mutex> guard(TerminationLock());
        actions.swap(TerminationActions());
    }
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) (*it)();
}

bool ModulePath(char (&path)[MAX_PATH]) {
    DWORD n = GetModuleFileNameA(moduleInstance, path, MAX_PATH);
    return n > 0 && n < MAX_PATH;
}

void SetModuleInstance(HINSTANCE instance) { moduleInstance = instance; }

void LockModule() { ++lockCount; }
void UnlockModule() { --lockCount; }
long ModuleLockCount() { return lockCount.load(); }

void AddTerminationAction(void (*action)()) {
    std::lock_guard<std::mutex> guard(TerminationLock());
    TerminationActions().push_back(action);
}

}  // namespace tarnwick::frame
