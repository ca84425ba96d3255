// The page's Response object: output, status, headers and cookies. The
// response is kept whole and sent when the page ends.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>
#include <string>

#include "host/page/PageState.h"
#include "host/page/ScriptObject.h"

namespace tarnwick::host {

class ResponseObject final : public ScriptObject<IResponse, &IID_IResponse> {
public:
    explicit ResponseObject(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_Buffer(VARIANT_BOOL* buffering) override;
    HRESULT STDMETHODCALLTYPE put_Buffer(VARIANT_BOOL buffering) override;
    HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* type) override;
    HRESULT STDMETHODCALLTYPE put_ContentType(BSTR type) override;
    HRESULT STDMETHODCALLTYPE get_Expires(VARIANT* minutes) override;
    HRESULT STDMETHODCALLTYPE put_Expires(LONG minutes) override;
    HRESULT STDMETHODCALLTYPE get_ExpiresAbsolute(VARIANT* when) override;
    HRESULT STDMETHODCALLTYPE put_ExpiresAbsolute(DATE when) override;
    HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Status(BSTR* status) override;
    HRESULT STDMETHODCALLTYPE put_Status(BSTR status) override;
    HRESULT STDMETHODCALLTYPE Add(BSTR value, BSTR name) override { return AddHeader(name, value); }
    HRESULT STDMETHODCALLTYPE AddHeader(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE AppendToLog(BSTR entry) override;
    HRESULT STDMETHODCALLTYPE BinaryWrite(VARIANT bytes) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE End() override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE Redirect(BSTR url) override;
    HRESULT STDMETHODCALLTYPE Write(VARIANT text) override;
    HRESULT STDMETHODCALLTYPE WriteBlock(short block) override;
    HRESULT STDMETHODCALLTYPE IsClientConnected(VARIANT_BOOL* connected) override;
    HRESULT STDMETHODCALLTYPE get_CharSet(BSTR* charset) override;
    HRESULT STDMETHODCALLTYPE put_CharSet(BSTR charset) override;
    HRESULT STDMETHODCALLTYPE Pics(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_CacheControl(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_CacheControl(BSTR value) override;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    void SetHeader(const std::string& name, const std::string& value);
    std::string HeaderValue(const std::string& name) const;

    std::shared_ptr<PageState> state_;
};

// An HTTP date ("Tue, 08 Dec 2026 03:11:34 GMT") for an automation date in
// local time.
std::string HttpDate(DATE localTime);

}  // namespace tarnwick::host
