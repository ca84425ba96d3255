// Entry points of Tarnwick.dll.
#include "frame/Module.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "frame/ClassTable.h"
#include "frame/Registration.h"

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

void Terminate() {
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

}  // namespace

void LockModule() { ++lockCount; }
void UnlockModule() { --lockCount; }
long ModuleLockCount() { return lockCount.load(); }
HINSTANCE ModuleInstance() { return moduleInstance; }

void AddTerminationAction(void (*action)()) {
    std::lock_guard<std::mutex> guard(TerminationLock());
    TerminationActions().push_back(action);
}

}  // namespace tarnwick::frame

using namespace tarnwick::frame;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // On FreeLibrary only: at process exit other modules may already be
        // gone, and the process releases everything anyway.
        Terminate();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const ClassEntry* entry = FindClass(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    return entry->factory->QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    char path[MAX_PATH];
    if (!ModulePath(path)) return HRESULT_FROM_WIN32(GetLastError());
    for (const ClassEntry* e = ClassTableBegin(); e != ClassTableEnd(); ++e) {
        HRESULT hr = RegisterClassKeys(*e, path);
        if (FAILED(hr)) return hr;
    }
    return RegisterModuleTypeLib(path);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const ClassEntry* e = ClassTableBegin(); e != ClassTableEnd(); ++e) {
        HRESULT hr = UnregisterClassKeys(*e);
        if (FAILED(hr)) return hr;
    }
    return UnregisterModuleTypeLib();
}
