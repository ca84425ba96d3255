#include "ProbeBinding.h"

namespace pagehost {

HRESULT ProbeBinding::Bind(IUnknown* context) {
    if (!context) return E_POINTER;
    Unbind();
    ComPtr<IScriptingContext> ctx;
    HRESULT hr = context->QueryInterface(IID_IScriptingContext, reinterpret_cast<void**>(ctx.Put()));
    if (FAILED(hr)) return hr;
    if (SUCCEEDED(hr)) hr = ctx->get_Request(request_.Put());
    if (SUCCEEDED(hr)) hr = ctx->get_Response(response_.Put());
    if (SUCCEEDED(hr)) hr = ctx->get_Server(server_.Put());
    if (SUCCEEDED(hr)) hr = ctx->get_Session(session_.Put());
    if (SUCCEEDED(hr)) hr = ctx->get_Application(application_.Put());
    if (FAILED(hr)) Unbind();
    return hr;
}

void ProbeBinding::Unbind() {
    request_.Reset();
    response_.Reset();
    server_.Reset();
    session_.Reset();
    application_.Reset();
}

HRESULT ProbeBinding::Write(const std::wstring& text) {
    if (!response_) return E_UNEXPECTED;
    Variant v;
    HRESULT hr = SetString(&v, text);
    if (FAILED(hr)) return hr;
    return response_->Write(v.Ref());
}

HRESULT ProbeBinding::ReadAll(std::string& bytes) {
    bytes.clear();
    if (!request_) return E_UNEXPECTED;
    LONG total = 0;
    HRESULT hr = request_->get_TotalBytes(&total);
    if (FAILED(hr)) return hr;
    Variant count;
    SetLong(&count, total);
    Variant data;
    hr = request_->BinaryRead(&count, &data);
    if (FAILED(hr)) return hr;
    if (!ReadByteArray(data.Ref(), bytes)) return E_UNEXPECTED;
    if (V_VT(&count) != VT_I4 || static_cast<size_t>(V_I4(&count)) != bytes.size()) return E_UNEXPECTED;
    return S_OK;
}

}  // namespace pagehost
