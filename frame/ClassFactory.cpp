#include "frame/ClassFactory.h"

#include "frame/Module.h"

namespace tarnwick::frame {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
}

ULONG ClassFactory::AddRef() {
    std::lock_guard<std::mutex> guard(lock_);
    if (++refs_ == 2) LockModule();
    return refs_;
}

ULONG ClassFactory::Release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (refs_ <= 1) return refs_;   // the module's own reference is never given up
    if (--refs_ == 1) UnlockModule();
    return refs_;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return create_(outer, riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

}  // namespace tarnwick::frame
