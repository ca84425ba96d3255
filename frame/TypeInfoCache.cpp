#include "frame/TypeInfoCache.h"

#include <mutex>
#include <string>
#include <vector>

#include "frame/Module.h"
#include "Tarnwick_h.h"

namespace tarnwick::frame {
namespace {

struct NameEntry {
    std::wstring name;
    DISPID id;
};

struct TypeInfoEntry {
    const IID* iid;
    ITypeInfo* info;   // owned; null until loaded
    std::vector<NameEntry> names;
};

TypeInfoEntry entries[] = {
    {&IID_IMail, nullptr, {}},
    {&IID_IHanZi, nullptr, {}},
    {&IID_ISendMail, nullptr, {}},
    {&IID_IUpload, nullptr, {}},
};

std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}

void ReleaseAll() {
    std::lock_guard<std::mutex> guard(CacheLock());
    for (TypeInfoEntry& e : entries) {
        if (e.info) e.info->Release();
        e.info = nullptr;
        e.names.clear();
    }
}

void BuildNameCache(TypeInfoEntry& e) {
    TYPEATTR* attr = nullptr;
    if (FAILED(e.info->GetTypeAttr(&attr))) return;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(e.info->GetFuncDesc(i, &func))) continue;
        BSTR name = nullptr;
        UINT got = 0;
        if (SUCCEEDED(e.info->GetNames(func->memid, &name, 1, &got)) && got == 1) {
            e.names.push_back({std::wstring(name, SysStringLen(name)), func->memid});
            SysFreeString(name);
        }
        e.info->ReleaseFuncDesc(func);
    }
    e.info->ReleaseTypeAttr(attr);
}

}  // namespace

HRESULT LoadTypeInfo(InterfaceIndex index, LCID lcid, ITypeInfo** info) {
    *info = nullptr;
    TypeInfoEntry& e = entries[static_cast<int>(index)];
    static bool terminationRegistered = false;
    std::lock_guard<std::mutex> guard(CacheLock());
    if (!e.info) {
        ITypeLib* lib = nullptr;
        HRESULT hr = LoadRegTypeLib(LIBID_TARNWICKLib, 1, 0, lcid, &lib);
        if (SUCCEEDED(hr)) {
            ITypeInfo* loaded = nullptr;
            hr = lib->GetTypeInfoOfGuid(*e.iid, &loaded);
            lib->Release();
            if (SUCCEEDED(hr)) {
                // Keep the extended interface when the type information has one.
                ITypeInfo2* extended = nullptr;
                if (SUCCEEDED(loaded->QueryInterface(IID_ITypeInfo2,
                                                     reinterpret_cast<void**>(&extended)))) {
                    loaded->Release();
                    loaded = extended;
                }
                e.info = loaded;
                BuildNameCache(e);
            }
        }
        if (!terminationRegistered) {
            terminationRegistered = true;
            AddTerminationAction(ReleaseAll);
        }
        if (FAILED(hr)) return hr;
    }
    *info = e.info;
    return S_OK;
}

HRESULT GetIDsOfNamesCached(InterfaceIndex index, LPOLESTR* names, UINT count, LCID lcid,
                            DISPID* ids) {
    ITypeInfo* info = nullptr;
    HRESULT hr = LoadTypeInfo(index, lcid, &info);
    if (FAILED(hr)) return hr;
    // Names of parameters (named arguments) are only known to the type information.
    if (count > 1) return info->GetIDsOfNames(names, count, ids);
    if (count == 0) return S_OK;
    const TypeInfoEntry& e = entries[static_cast<int>(index)];
    std::size_t length = wcslen(names[0]);
    for (auto it = e.names.rbegin(); it != e.names.rend(); ++it) {
        if (it->name.size() == length && it->name.compare(names[0]) == 0) {
            ids[0] = it->id;
            return S_OK;
        }
    }
    // Scripts may spell a member in another letter case; the type information
    // matches names case-insensitively.
    return info->GetIDsOfNames(names, 1, ids);
}

}  // namespace tarnwick::frame
