// Reference counting and interface look-up for a COM object with one own
// interface: IUnknown, that interface, and IDispatch when it derives from it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <type_traits>

namespace tarnwick::host {

template <class Itf, const IID* OwnIid>
class UnknownObject : public Itf {
public:
    UnknownObject(const UnknownObject&) = delete;
    UnknownObject& operator=(const UnknownObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, *OwnIid) ||
            (std::is_base_of<IDispatch, Itf>::value && IsEqualIID(riid, IID_IDispatch))) {
            *ppv = static_cast<Itf*>(this);
            this->AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    LONG RefCount() const { return refs_; }

protected:
    UnknownObject() = default;
    virtual ~UnknownObject() = default;

private:
    LONG refs_ = 1;
};

}  // namespace tarnwick::host
