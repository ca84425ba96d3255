// The page's Server object: creating components (with their page hooks),
// and the encoding and path helpers.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "host/page/PageState.h"
#include "host/page/ScriptObject.h"

namespace tarnwick::host {

class ServerObject final : public ScriptObject<IServer, &IID_IServer> {
public:
    explicit ServerObject(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_ScriptTimeout(LONG* seconds) override;
    HRESULT STDMETHODCALLTYPE put_ScriptTimeout(LONG seconds) override;
    HRESULT STDMETHODCALLTYPE CreateObject(BSTR progId, IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE HTMLEncode(BSTR text, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE MapPath(BSTR path, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE URLEncode(BSTR text, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE URLPathEncode(BSTR text, BSTR* out) override;
    HRESULT STDMETHODCALLTYPE Execute(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Transfer(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLastError(IASPError** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    std::shared_ptr<PageState> state_;
    long scriptTimeout_ = 90;
};

// Calls OnEndPage on every object the page created, last first.
void EndPageObjects(PageState& state);

}  // namespace tarnwick::host
