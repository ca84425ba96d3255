#include "frame/TypeInfoCache.h"

#include <list>
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
    IID iid;
    ITypeInfo* info;   // owned
    std::vector<NameEntry> names;
};

// One entry per interface loaded so far; entries are never removed before
// termination, so a found entry stays valid without the lock.
std::list<TypeInfoEntry> entries;

std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}

void ReleaseAll() {
    std::lock_guard<std::mutex> guard(CacheLock());
    for (TypeInfoEntry& e : entries) e.info->Release();
    entries.clear();
}

// The loaded entry of iid, or null; called under the lock.
TypeInfoEntry* Find(REFIID iid) {
    for (TypeInfoEntry& e : entries)
        if (IsEqualIID(e.iid, iid)) return &e;
    return nullptr;
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

// The entry of iid, loading it first when needed; null on failure (hr set).
const TypeInfoEntry* LoadEntry(REFIID iid, LCID lcid, HRESULT& hr) {
    static bool terminationRegistered = false;
    std::lock_guard<std::mutex> guard(CacheLock());
    hr = S_OK;
    if (TypeInfoEntry* found = Find(iid)) return found;
    if (!terminationRegistered) {
        terminationRegistered = true;
        AddTerminationAction(ReleaseAll);
    }
    ITypeLib* lib = nullptr;
    hr = LoadRegTypeLib(LIBID_TARNWICKLib, 1, 0, lcid, &lib);
    if (FAILED(hr)) return nullptr;
    ITypeInfo* loaded = nullptr;
    hr = lib->GetTypeInfoOfGuid(iid, &loaded);
    lib->Release();
    if (FAILED(hr)) return nullptr;
    // Keep the extended interface when the type information has one.
    ITypeInfo2* extended = nullptr;
    if (SUCCEEDED(loaded->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&extended)))) {
        loaded->Release();
        loaded = extended;
    }
    entries.push_back(TypeInfoEntry{iid, loaded, {}});
    BuildNameCache(entries.back());
    return &entries.back();
}

}  // namespace

HRESULT LoadTypeInfo(REFIID iid, LCID lcid, ITypeInfo** info) {
    *info = nullptr;
    HRESULT hr = S_OK;
    const TypeInfoEntry* e = LoadEntry(iid, lcid, hr);
    if (!e) return hr;
    *info = e->info;
    return S_OK;
}

HRESULT GetIDsOfNamesCached(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    HRESULT hr = S_OK;
    const TypeInfoEntry* found = LoadEntry(iid, lcid, hr);
    if (!found) return hr;
    const TypeInfoEntry& e = *found;
    ITypeInfo* info = e.info;
    // Names of parameters (named arguments) are only known to the type information.
    if (count > 1) return info->GetIDsOfNames(names, count, ids);
    if (count == 0) return S_OK;
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
