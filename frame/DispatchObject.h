// The shared base of the automation classes: reference counting with
// optional aggregation, interface look-up (IUnknown, IDispatch and the class's
// own dual interface, all one pointer) and IDispatch through the type library.
// A class whose own interface derives from another dual interface names that
// one in BaseIids: it is answered with the same pointer, and every member of
// both is reached by name through the own interface's type information.
#pragma once

#include <new>

#include "frame/Module.h"
#include "frame/TypeInfoCache.h"

namespace tarnwick::frame {

template <class Itf, const IID* OwnIid, const IID*... BaseIids>
class DispatchObject : public Itf {
public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // IUnknown: delegates to the outer object when aggregated.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID lcid, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        ITypeInfo* loaded = nullptr;
        HRESULT hr = LoadTypeInfo(*OwnIid, lcid, &loaded);
        if (FAILED(hr)) return hr;
        loaded->AddRef();
        *info = loaded;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return GetIDsOfNamesCached(*OwnIid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = LoadTypeInfo(*OwnIid, lcid, &info);
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<Itf*>(this), id, flags, params, result, exception,
                            argError);
    }

    // The create function of a class's table row: a plain instance, or an
    // aggregated one when outer is given (the factory has checked the id).
    template <class Derived>
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
        Derived* object = nullptr;
        try {
            object = new Derived();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        if (outer) {
            object->outer_ = outer;
            object->aggregated_ = true;
        }
        object->inner_.AddRef();
        HRESULT hr = object->inner_.QueryInterface(riid, ppv);
        object->inner_.Release();   // destroys the object when the query failed
        return hr;
    }

protected:
    DispatchObject() : inner_(this), outer_(&inner_) { LockModule(); }
    virtual ~DispatchObject() { UnlockModule(); }

private:
    // The object's own (non-delegating) IUnknown.
    class Inner : public IUnknown {
    public:
        explicit Inner(DispatchObject* owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            IUnknown* found = nullptr;
            if (riid == IID_IUnknown && owner_->aggregated_)
                found = this;
            else if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *OwnIid || ((riid == *BaseIids) || ...))
                found = static_cast<Itf*>(owner_);
            else
                return E_NOINTERFACE;
            found->AddRef();
            *ppv = found;
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
        ULONG STDMETHODCALLTYPE Release() override {
            ULONG left = --refs_;
            if (left == 0) delete owner_;
            return left;
        }

    private:
        DispatchObject* owner_;
        ULONG refs_ = 0;   // apartment-threaded: a plain counter
    };

    Inner inner_;
    IUnknown* outer_;
    bool aggregated_ = false;
};

}  // namespace tarnwick::frame
