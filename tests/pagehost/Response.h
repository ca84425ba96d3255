// The page's Response object: records every call the component makes (text,
// bytes, content type, buffering, end) in the host state, in order.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "ComObject.h"
#include "HostState.h"

namespace pagehost {

class Response final : public ComObject<IResponse, &IID_IResponse> {
public:
    explicit Response(std::shared_ptr<HostState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_Buffer(VARIANT_BOOL* buffering) override;
    HRESULT STDMETHODCALLTYPE put_Buffer(VARIANT_BOOL buffering) override;
    HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* type) override;
    HRESULT STDMETHODCALLTYPE put_ContentType(BSTR type) override;
    HRESULT STDMETHODCALLTYPE get_Expires(VARIANT* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_Expires(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExpiresAbsolute(VARIANT* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_ExpiresAbsolute(DATE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Status(BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_Status(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Add(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddHeader(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AppendToLog(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BinaryWrite(VARIANT input) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE End() override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE Redirect(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(VARIANT text) override;
    HRESULT STDMETHODCALLTYPE WriteBlock(short) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsClientConnected(VARIANT_BOOL* out) override {
        if (out) *out = VARIANT_FALSE;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_CharSet(BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_CharSet(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pics(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CacheControl(BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_CacheControl(BSTR) override { return E_NOTIMPL; }

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    std::shared_ptr<HostState> state_;
};

}  // namespace pagehost
