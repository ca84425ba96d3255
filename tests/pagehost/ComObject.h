// Shared base of every object in the test host: a hand-written IDispatch over
// a static name table (no type library), on the page host's reference
// counting and interface look-up.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>

#include "Module.h"
#include "host/UnknownObject.h"
#include "Variants.h"

namespace pagehost {

// Members a page object does not offer: the out value cleared, E_NOTIMPL.
namespace stub {

template <class T>
HRESULT NotImpl(T* out) {
    if (out) *out = T();
    return E_NOTIMPL;
}
inline HRESULT NotImpl(VARIANT* out) {
    if (out) VariantInit(out);
    return E_NOTIMPL;
}

}  // namespace stub

enum class Access { Get, GetPut };

struct Member {
    const wchar_t* name;
    DISPID id;
    Access access;
};

struct MemberTable {
    const Member* members;
    size_t count;
};

template <size_t N>
constexpr MemberTable TableOf(const Member (&members)[N]) {
    return MemberTable{members, N};
}

template <class Itf, const IID* OwnIid>
class ComObject : public tarnwick::host::UnknownObject<Itf, OwnIid> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    // Script engines pass names as the script wrote them, so the match ignores case.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            const Member* m = i == 0 ? Find(names[i]) : nullptr;
            if (m) {
                ids[i] = m->id;
            } else {
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        if (argErr) *argErr = 0;
        const Member* m = FindId(id);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (put) {
            if (m->access != Access::GetPut) return DISP_E_MEMBERNOTFOUND;
            if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        } else {
            if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
            if (params && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        }
        VARIANT scratch;
        VariantInit(&scratch);
        VARIANT* out = result ? result : &scratch;
        if (result) VariantInit(result);
        HRESULT hr;
        try {
            hr = Call(id, put, Args(params), out, excep);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        if (FAILED(hr)) VariantClear(out);
        VariantClear(&scratch);
        return hr;
    }

protected:
    ComObject() { ModuleLock(); }
    ~ComObject() override { ModuleUnlock(); }

    virtual MemberTable Members() const = 0;
    // One script-visible member; `put` is set for property assignment, whose
    // value is argument 0. `result` is never null and starts out empty.
    virtual HRESULT Call(DISPID id, bool put, const Args& args, VARIANT* result, EXCEPINFO* excep) = 0;

private:
    const Member* Find(const wchar_t* name) const {
        if (!name) return nullptr;
        MemberTable t = Members();
        for (size_t i = 0; i < t.count; ++i)
            if (lstrcmpiW(t.members[i].name, name) == 0) return &t.members[i];
        return nullptr;
    }
    const Member* FindId(DISPID id) const {
        MemberTable t = Members();
        for (size_t i = 0; i < t.count; ++i)
            if (t.members[i].id == id) return &t.members[i];
        return nullptr;
    }
};

}  // namespace pagehost
