// One class factory per class: a static object whose own reference is the
// module's; a client holding it keeps the module locked.
#pragma once

#include <unknwn.h>

#include <mutex>

namespace tarnwick::frame {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CreateFunction create_;
    std::mutex lock_;
    ULONG refs_ = 1;   // the module's own reference
};

}  // namespace tarnwick::frame
