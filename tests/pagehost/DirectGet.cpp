#include "DirectGet.h"

#include <oleauto.h>

#include "Variants.h"

namespace pagehost {

namespace {

// Releases a TYPEATTR or FUNCDESC on every exit path.
class TypeAttrHolder {
public:
    TypeAttrHolder(ITypeInfo* info, TYPEATTR* attr) : info_(info), attr_(attr) {}
    ~TypeAttrHolder() {
        if (attr_) info_->ReleaseTypeAttr(attr_);
    }
    TypeAttrHolder(const TypeAttrHolder&) = delete;
    TypeAttrHolder& operator=(const TypeAttrHolder&) = delete;

private:
    ITypeInfo* info_;
    TYPEATTR* attr_;
};

class FuncDescHolder {
public:
    FuncDescHolder(ITypeInfo* info, FUNCDESC* desc) : info_(info), desc_(desc) {}
    ~FuncDescHolder() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    FuncDescHolder(const FuncDescHolder&) = delete;
    FuncDescHolder& operator=(const FuncDescHolder&) = delete;

private:
    ITypeInfo* info_;
    FUNCDESC* desc_;
};

// The vtable interface behind a dual interface's dispatch type information.
HRESULT VtableInfo(ITypeInfo* dispatchInfo, ComPtr<ITypeInfo>& out) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = dispatchInfo->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    TypeAttrHolder holdAttr(dispatchInfo, attr);
    if (attr->typekind == TKIND_INTERFACE) {
        dispatchInfo->AddRef();
        out = ComPtr<ITypeInfo>(dispatchInfo);
        return S_OK;
    }
    if (attr->typekind != TKIND_DISPATCH || !(attr->wTypeFlags & TYPEFLAG_FDUAL)) return E_NOINTERFACE;
    HREFTYPE ref = 0;
    hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (FAILED(hr)) return hr;
    return dispatchInfo->GetRefTypeInfo(ref, out.Put());
}

}  // namespace

HRESULT DirectGet(IDispatch* object, const std::wstring& name, VARIANT* result) {
    if (!object) return E_POINTER;
    ComPtr<ITypeInfo> dispatchInfo;
    HRESULT hr = object->GetTypeInfo(0, 0, dispatchInfo.Put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = VtableInfo(dispatchInfo.Get(), info);
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    TypeAttrHolder holdAttr(info.Get(), attr);

    MEMBERID id = MEMBERID_NIL;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
    hr = info->GetIDsOfNames(names, 1, &id);
    if (FAILED(hr)) return DISP_E_UNKNOWNNAME;

    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        FuncDescHolder holdDesc(info.Get(), desc);
        if (desc->memid != id || !(desc->invkind & (INVOKE_PROPERTYGET | INVOKE_FUNC))) continue;
        // A getter: exactly one parameter, the [out, retval] pointer.
        if (desc->cParams != 1 || desc->lprgelemdescParam[0].tdesc.vt != VT_PTR) continue;
        if (!(desc->lprgelemdescParam[0].paramdesc.wParamFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL))) continue;
        VARTYPE vt = desc->lprgelemdescParam[0].tdesc.lptdesc->vt;
        if (vt == VT_USERDEFINED || vt == VT_PTR) return DISP_E_BADVARTYPE;

        ComPtr<IUnknown> itf;
        hr = object->QueryInterface(attr->guid, reinterpret_cast<void**>(itf.Put()));
        if (FAILED(hr)) return hr;

        VARIANT value;
        VariantInit(&value);
        VARIANT arg;
        VariantInit(&arg);
        if (vt == VT_VARIANT) {
            V_VT(&arg) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&arg) = &value;
        } else {
            V_VT(&value) = vt;  // the union's storage starts at the same place for every type
            V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | vt);
            V_BYREF(&arg) = &V_UI1(&value);
        }
        VARIANTARG* args[1] = {&arg};
        VARTYPE types[1] = {V_VT(&arg)};
        VARIANT ret;
        VariantInit(&ret);
        hr = DispCallFunc(itf.Get(), desc->oVft, desc->callconv, VT_ERROR, 1, types, args, &ret);
        if (FAILED(hr)) return hr;
        if (FAILED(V_ERROR(&ret))) {
            VariantClear(&value);
            return V_ERROR(&ret);
        }
        *result = value;  // takes ownership
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace pagehost
