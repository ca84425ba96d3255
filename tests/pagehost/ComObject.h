// Base of every object in the test host: the page host's name-table IDispatch,
// plus a module lock for the object's lifetime so DllCanUnloadNow sees it.
#pragma once

#include "Module.h"
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

template <class Itf, const IID* OwnIid>
class ComObject : public tarnwick::host::ScriptObject<Itf, OwnIid> {
protected:
    ComObject() { ModuleLock(); }
    ~ComObject() override { ModuleUnlock(); }
};

}  // namespace pagehost
