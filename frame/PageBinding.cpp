#include <initguid.h>   // defines the page interfaces' ids, once for the module

#include "frame/PageBinding.h"

#include "frame/StringConversion.h"

namespace tarnwick::frame {

HRESULT PageBinding::Bind(IUnknown* piUnk) {
    if (!piUnk) return E_POINTER;
    Unbind();
    ComPtr<IScriptingContext> context;
    HRESULT hr = piUnk->QueryInterface(IID_IScriptingContext, reinterpret_cast<void**>(context.Put()));
    if (FAILED(hr)) return hr;
    if (SUCCEEDED(hr = context->get_Request(request_.Put())) &&
        SUCCEEDED(hr = context->get_Response(response_.Put())) &&
        SUCCEEDED(hr = context->get_Server(server_.Put())) &&
        SUCCEEDED(hr = context->get_Session(session_.Put())) &&
        SUCCEEDED(hr = context->get_Application(application_.Put())))
        return S_OK;
    Unbind();
    return hr;
}

void PageBinding::Unbind() {
    request_.Reset();
    response_.Reset();
    server_.Reset();
    session_.Reset();
    application_.Reset();
}

void PageBinding::ReleaseAtDestruction() {
    application_.Reset();
    server_.Reset();
    session_.Reset();
    response_.Reset();
    request_.Reset();
}

HRESULT PageBinding::WriteText(const std::string& text) {
    if (!response_) return S_OK;
    Variant value;
    BSTR wide = nullptr;
    HRESULT hr = ToWide(text, &wide);
    if (FAILED(hr)) return hr;
    if (!wide) return E_OUTOFMEMORY;
    value.Ref().vt = VT_BSTR;
    value.Ref().bstrVal = wide;
    response_->Write(value.Ref());   // the page's result is not examined
    return VariantClear(&value);
}

}  // namespace tarnwick::frame
