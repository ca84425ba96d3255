// The page's Request object: query string, url-encoded form, cookies,
// server variables and the raw body.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "host/page/Collections.h"
#include "host/page/PageState.h"
#include "host/page/ScriptObject.h"

namespace tarnwick::host {

class RequestObject final : public ScriptObject<IRequest, &IID_IRequest> {
public:
    explicit RequestObject(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_Item(BSTR name, IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_QueryString(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Form(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Body(IRequestDictionary** out) override { return get_Form(out); }
    HRESULT STDMETHODCALLTYPE get_ServerVariables(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_ClientCertificate(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_TotalBytes(LONG* total) override;
    HRESULT STDMETHODCALLTYPE BinaryRead(VARIANT* countToRead, VARIANT* result) override;

    // The server variables of this request, by their usual names.
    WideValues ServerVariables() const;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    WideValues Widen(const NameValues& values) const;
    HRESULT Collection(WideValues items, const std::string& whole, IRequestDictionary** out) const;

    std::shared_ptr<PageState> state_;
};

}  // namespace tarnwick::host
