#include "Request.h"

#include <algorithm>

namespace pagehost {

namespace {

enum : DISPID { kTotalBytes = 1, kBinaryRead };

const Member kMembers[] = {
    {L"TotalBytes", kTotalBytes, Access::Get},
    {L"BinaryRead", kBinaryRead, Access::Get},
};

}  // namespace

HRESULT Request::get_TotalBytes(LONG* total) {
    if (!total) return E_POINTER;
    *total = 0;
    if (state_->failTotalBytes) {
        HostState::Append(state_->requestLog, L"TotalBytes=fail");
        return state_->failCode;
    }
    HostState::Append(state_->requestLog, L"TotalBytes");
    *total = static_cast<LONG>(state_->body.size());
    return S_OK;
}

HRESULT Request::BinaryRead(VARIANT* countToRead, VARIANT* result) {
    if (!countToRead || !result) return E_POINTER;
    VariantInit(result);
    if (state_->failBinaryRead) {
        HostState::Append(state_->requestLog, L"BinaryRead=fail");
        return state_->failCode;
    }
    Variant plain;
    Variant count;
    HRESULT hr = VariantCopyInd(&plain, countToRead);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&count, &plain, 0, VT_I4);
    if (FAILED(hr)) {
        HostState::Append(state_->requestLog, L"BinaryRead=badcount");
        return hr;
    }
    long requested = V_I4(&count);
    if (requested < 0) {
        HostState::Append(state_->requestLog, L"BinaryRead=badcount");
        return E_INVALIDARG;
    }
    size_t remaining = state_->body.size() - state_->readPosition;
    size_t n = std::min(static_cast<size_t>(requested), remaining);
    if (state_->shortRead >= 0) n = std::min(n, static_cast<size_t>(state_->shortRead));
    hr = CopyByteArray(std::string_view(state_->body).substr(state_->readPosition, n), result);
    if (FAILED(hr)) return hr;
    state_->readPosition += n;
    VariantClear(countToRead);
    V_VT(countToRead) = VT_I4;
    V_I4(countToRead) = static_cast<LONG>(n);
    HostState::Append(state_->requestLog, L"BinaryRead=" + std::to_wstring(n));
    return S_OK;
}

const Member* Request::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT Request::Call(const Invocation& call) {
    const Args& args = call.args;
    switch (call.id) {
    case kTotalBytes: {
        LONG total = 0;
        HRESULT hr = get_TotalBytes(&total);
        if (SUCCEEDED(hr)) SetLong(call.result, total);
        return hr;
    }
    case kBinaryRead: {
        VARIANT* arg = args.Raw(0);
        if (!arg) return DISP_E_BADPARAMCOUNT;
        Variant count;
        HRESULT hr = VariantCopyInd(&count, arg);
        if (FAILED(hr)) return hr;
        hr = BinaryRead(&count, call.result);
        // A script variable passed by reference receives the count read.
        if (SUCCEEDED(hr) && args.ByRef(0)) {
            VariantClear(arg);
            SetLong(arg, V_I4(&count));
        }
        return hr;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace pagehost
