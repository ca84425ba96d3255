// The page's Request object: serves the body the script set, in pieces as
// BinaryRead asks for them, with injected failures and short reads.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "ComObject.h"
#include "HostState.h"

namespace pagehost {

class Request final : public ComObject<IRequest, &IID_IRequest> {
public:
    explicit Request(std::shared_ptr<HostState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_Item(BSTR, IDispatch** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_QueryString(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Form(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Body(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_ServerVariables(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_ClientCertificate(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_TotalBytes(LONG* total) override;
    HRESULT STDMETHODCALLTYPE BinaryRead(VARIANT* countToRead, VARIANT* result) override;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    std::shared_ptr<HostState> state_;
};

}  // namespace pagehost
