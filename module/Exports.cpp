// Entry points of Tarnwick.dll.
#include <windows.h>

#include "module/ClassTable.h"
#include "frame/Module.h"
#include "module/Registration.h"

using namespace tarnwick::module;
using tarnwick::frame::ModuleLockCount;
using tarnwick::frame::ModulePath;
using tarnwick::frame::RunTerminationActions;
using tarnwick::frame::SetModuleInstance;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // On FreeLibrary only: at process exit other modules may already be
        // gone, and the process releases everything anyway.
        RunTerminationActions();
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
