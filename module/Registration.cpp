#include "module/Registration.h"

#include <oleauto.h>

#include <cstdio>
#include <string>

#include "Tarnwick_h.h"
#include "platform/Charset.h"

namespace tarnwick::module {
namespace {

std::string GuidText(REFGUID guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
              static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
              guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
              guid.Data4[6], guid.Data4[7]);
    return text;
}

// Creates (or opens) HKCR\path and sets one string value ("" = default).
LONG SetValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExA(key, name && *name ? name : nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc;
}

LONG CreateEmptyKey(const std::string& path) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr);
    if (rc == ERROR_SUCCESS) RegCloseKey(key);
    return rc;
}

// Deletes HKCR\path with all its subkeys; a missing key is not an error.
LONG DeleteTree(const std::string& path) {
    LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    if (rc == ERROR_SUCCESS) rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

}  // namespace

HRESULT RegisterClassKeys(const ClassEntry& entry, const char* modulePath) {
    const std::string clsid = GuidText(*entry.clsid);
    const std::string name = entry.name;
    const std::string description = name + " Class";
    const std::string progId = "Tarnwick." + name;
    const std::string versionedProgId = progId + ".1";
    const std::string classKey = "CLSID\\" + clsid;

    LONG rc = ERROR_SUCCESS;
    auto step = [&rc](LONG result) {
        if (rc == ERROR_SUCCESS) rc = result;
    };
    step(SetValue(versionedProgId, "", description));
    step(SetValue(versionedProgId + "\\CLSID", "", clsid));
    step(SetValue(progId, "", description));
    step(SetValue(progId + "\\CLSID", "", clsid));
    step(SetValue(progId + "\\CurVer", "", versionedProgId));
    // The class-id key is force-removed: an earlier registration is replaced whole.
    step(DeleteTree(classKey));
    step(SetValue(classKey, "", description));
    step(SetValue(classKey + "\\ProgID", "", versionedProgId));
    step(SetValue(classKey + "\\VersionIndependentProgID", "", progId));
    step(CreateEmptyKey(classKey + "\\Programmable"));
    step(SetValue(classKey + "\\InprocServer32", "", modulePath));
    step(SetValue(classKey + "\\InprocServer32", "ThreadingModel", "Apartment"));
    step(SetValue(classKey + "\\TypeLib", "", GuidText(LIBID_TARNWICKLib)));
    return HRESULT_FROM_WIN32(rc);
}

HRESULT UnregisterClassKeys(const ClassEntry& entry) {
    const std::string progId = std::string("Tarnwick.") + entry.name;
    LONG rc = DeleteTree(progId + ".1");
    LONG rc2 = DeleteTree(progId);
    LONG rc3 = DeleteTree("CLSID\\" + GuidText(*entry.clsid));
    if (rc == ERROR_SUCCESS) rc = rc2;
    if (rc == ERROR_SUCCESS) rc = rc3;
    return HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterModuleTypeLib(const char* modulePath) {
    std::u16string wide;
    if (!platform::DecodeCodePage(platform::kSystemCodePage, modulePath, wide) || wide.size() >= MAX_PATH)
        return E_FAIL;
    auto* path = reinterpret_cast<wchar_t*>(&wide[0]);   // RegisterTypeLib wants a non-const path
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(lib, path, nullptr);
    lib->Release();
    return hr;
}

HRESULT UnregisterModuleTypeLib() {
    // Unregistering what is not registered is no failure.
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_TARNWICKLib, 1, 0, LOCALE_NEUTRAL, &path))) return S_OK;
    SysFreeString(path);
    SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    return UnRegisterTypeLib(LIBID_TARNWICKLib, 1, 0, LOCALE_NEUTRAL, kind);
}

}  // namespace tarnwick::module
