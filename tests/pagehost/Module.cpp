// DLL entry points: the class factory for TarnwickTest.PageHost and its
// self-registration.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "Module.h"
#include "PageHost.h"
#include "RegistryTools.h"

namespace pagehost {

namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;  // live objects plus LockServer calls

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    // A static object: its references only keep the module loaded.
    ULONG STDMETHODCALLTYPE AddRef() override {
        ModuleLock();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ModuleUnlock();
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        PageHost* host = new (std::nothrow) PageHost;
        if (!host) return E_OUTOFMEMORY;
        HRESULT hr = host->QueryInterface(riid, ppv);
        host->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ModuleLock();
        else ModuleUnlock();
        return S_OK;
    }
};

ClassFactory g_factory;

HRESULT SetValue(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    RegKey key;
    LONG rc = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    rc = RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT DeleteTree(HKEY root, const std::wstring& subkey) {
    LONG rc = RegDeleteTreeW(root, subkey.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        rc = RegDeleteKeyW(root, subkey.c_str());
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

}  // namespace

void ModuleLock() { InterlockedIncrement(&g_locks); }
void ModuleUnlock() { InterlockedDecrement(&g_locks); }

}  // namespace pagehost

using namespace pagehost;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_PageHost)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    const std::wstring progId = kPageHostProgId;
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + kPageHostClsidText;
    const wchar_t* description = L"Tarnwick test page host";
    HRESULT hr = S_OK;
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, progId, nullptr, description);
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, kPageHostClsidText);
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, clsidKey, nullptr, description);
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", nullptr, progId);
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr, path);
    if (SUCCEEDED(hr)) hr = SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    HRESULT a = DeleteTree(HKEY_CLASSES_ROOT, kPageHostProgId);
    HRESULT b = DeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kPageHostClsidText);
    return SUCCEEDED(a) && SUCCEEDED(b) ? S_OK : SELFREG_E_CLASS;
}
