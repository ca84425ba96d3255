// Shared base of the page objects: IDispatch written by hand over a name
// table (the page interfaces come without a type library).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>

#include "host/page/Automation.h"
#include "host/page/UnknownObject.h"

namespace tarnwick::host {

// Returned by a call that ended the page (Response.End, Redirect): the
// engine stops the script, and the host knows it was no error.
constexpr HRESULT kPageEnded = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0E01);

// What Invoke lets a script assign to a member before Call sees it.
enum class Access {
    Any,     // Call decides; index arguments allowed (Cookies("a") = v)
    Get,     // no assignment
    GetPut,  // assignment of a plain value, without index arguments
    // The member's value is an object and the member takes no arguments of
    // its own: arguments, and an assignment, go to that object's default
    // member (DISPID_VALUE), as the script engines expect of a property that
    // yields an object: Request.QueryString("x") is QueryString.Item("x").
    Object,
};

struct Member {
    const wchar_t* name;
    DISPID id;
    Access access = Access::Any;
};

// One call from a script. For a property assignment `value` is the assigned
// value and `args` holds the index arguments (Cookies("a") = v); otherwise
// `value` is null. `result` is never null and starts out empty.
struct Invocation {
    DISPID id;
    bool put;
    Args args;
    VARIANT* value;
    VARIANT* result;
    EXCEPINFO* excep;

    // Fails the call with a message the script's error report shows.
    HRESULT Fail(HRESULT code, const wchar_t* description) const {
        if (!excep) return code;
        excep->wCode = 0;
        excep->bstrSource = SysAllocString(L"Tarnwick page host");
        excep->bstrDescription = SysAllocString(description);
        excep->scode = code;
        return DISP_E_EXCEPTION;
    }
};

template <class Itf, const IID* OwnIid>
class ScriptObject : public UnknownObject<Itf, OwnIid> {
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
    // Scripts write names in any case. Named arguments are not offered.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            const Member* m = i == 0 ? FindName(names[i]) : nullptr;
            if (m)
                ids[i] = m->id;
            else
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        if (argErr) *argErr = 0;
        const Member* m = FindId(id);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (m->access == Access::Object && (put || (params && params->cArgs > 0)))
            return InvokeDefault(id, lcid, flags, params, result, excep, argErr);
        VARIANT* value = nullptr;
        UINT skipped = 0;
        if (put) {
            if (m->access == Access::Get) return DISP_E_MEMBERNOTFOUND;
            // The assigned value comes first in DISPPARAMS, named DISPID_PROPERTYPUT.
            if (!params || params->cArgs == 0 || (m->access == Access::GetPut && params->cArgs != 1))
                return DISP_E_BADPARAMCOUNT;
            value = const_cast<VARIANT*>(Deref(&params->rgvarg[0]));
            skipped = 1;
        } else {
            if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
            if (params && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        }
        VARIANT scratch;
        VariantInit(&scratch);
        VARIANT* out = result ? result : &scratch;
        if (result) VariantInit(result);
        HRESULT hr = Run(Invocation{id, put, Args(params, skipped), value, out, excep});
        VariantClear(&scratch);
        return hr;
    }

protected:
    ScriptObject() = default;

    // The script-visible members; DISPID_VALUE and DISPID_NEWENUM may be among them.
    virtual const Member* Members(size_t& count) const = 0;
    virtual HRESULT Call(const Invocation& call) = 0;

private:
    // Call with exceptions kept inside; the result is cleared on failure.
    HRESULT Run(const Invocation& call) {
        HRESULT hr;
        try {
            hr = Call(call);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        if (FAILED(hr)) VariantClear(call.result);
        return hr;
    }

    // A call with arguments (or an assignment) to an Access::Object member:
    // reads the member's object, then makes the same call, with the same
    // flags and arguments, on that object's default member.
    HRESULT InvokeDefault(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          UINT* argErr) {
        if (result) VariantInit(result);
        VARIANT object;
        VariantInit(&object);
        HRESULT hr = Run(Invocation{id, false, Args(nullptr, 0), nullptr, &object, excep});
        if (SUCCEEDED(hr)) {
            if (V_VT(&object) == VT_DISPATCH && V_DISPATCH(&object))
                hr = V_DISPATCH(&object)->Invoke(DISPID_VALUE, IID_NULL, lcid, flags, params, result, excep, argErr);
            else
                hr = DISP_E_BADPARAMCOUNT;
        }
        VariantClear(&object);
        return hr;
    }

    const Member* FindName(const wchar_t* name) const {
        if (!name) return nullptr;
        size_t count = 0;
        const Member* m = Members(count);
        for (size_t i = 0; i < count; ++i)
            if (lstrcmpiW(m[i].name, name) == 0) return &m[i];
        return nullptr;
    }
    const Member* FindId(DISPID id) const {
        size_t count = 0;
        const Member* m = Members(count);
        for (size_t i = 0; i < count; ++i)
            if (m[i].id == id) return &m[i];
        return nullptr;
    }
};

// A members table for Members().
template <size_t N>
const Member* TableOf(const Member (&members)[N], size_t& count) {
    count = N;
    return members;
}

}  // namespace tarnwick::host
