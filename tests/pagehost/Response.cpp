#include "Response.h"

namespace pagehost {

namespace {

enum : DISPID { kWrite = 1, kBinaryWrite, kClear, kEnd, kFlush, kBuffer, kContentType };

const Member kMembers[] = {
    {L"Write", kWrite, Access::Get},         {L"BinaryWrite", kBinaryWrite, Access::Get},
    {L"Clear", kClear, Access::Get},         {L"End", kEnd, Access::Get},
    {L"Flush", kFlush, Access::Get},         {L"Buffer", kBuffer, Access::GetPut},
    {L"ContentType", kContentType, Access::GetPut},
};

}  // namespace

HRESULT Response::get_Buffer(VARIANT_BOOL* buffering) {
    if (!buffering) return E_POINTER;
    *buffering = state_->bufferValue == kBufferUnset ? VARIANT_TRUE : static_cast<VARIANT_BOOL>(state_->bufferValue);
    return S_OK;
}

HRESULT Response::put_Buffer(VARIANT_BOOL buffering) {
    state_->bufferValue = buffering;
    HostState::Append(state_->log, L"Buffer=" + std::to_wstring(buffering));
    return S_OK;
}

HRESULT Response::get_ContentType(BSTR* type) {
    if (!type) return E_POINTER;
    *type = SysAllocStringLen(state_->contentType.data(), static_cast<UINT>(state_->contentType.size()));
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT Response::put_ContentType(BSTR type) {
    state_->contentType.assign(type ? type : L"", type ? SysStringLen(type) : 0);
    HostState::Append(state_->log, L"ContentType=" + state_->contentType);
    return S_OK;
}

HRESULT Response::BinaryWrite(VARIANT input) {
    HostState::Append(state_->log, L"BinaryWrite");
    state_->binaryWriteType = V_VT(&input);
    std::string bytes;
    if (!ReadByteArray(input, bytes)) return E_INVALIDARG;
    state_->outputBytes += bytes;
    return S_OK;
}

HRESULT Response::Clear() {
    // Recorded only: OutputText keeps what was written before, so tests can see it.
    HostState::Append(state_->log, L"Clear");
    return S_OK;
}

HRESULT Response::End() {
    HostState::Append(state_->log, L"End");
    state_->ended = true;
    return S_OK;
}

HRESULT Response::Flush() {
    HostState::Append(state_->log, L"Flush");
    return S_OK;
}

HRESULT Response::Write(VARIANT text) {
    HostState::Append(state_->log, L"Write");
    state_->writeType = V_VT(&text);
    if (V_VT(Deref(&text)) == VT_NULL) return S_OK;  // a page writes nothing for Null
    Variant plain;
    Variant converted;
    HRESULT hr = VariantCopyInd(&plain, &text);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&converted, &plain, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    BSTR s = V_BSTR(&converted);
    if (s) state_->outputText.append(s, SysStringLen(s));
    return S_OK;
}

const Member* Response::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT Response::Call(const Invocation& call) {
    switch (call.id) {
    case kWrite:
    case kBinaryWrite: {
        const VARIANT* arg = call.args.Raw(0);
        if (!arg) return DISP_E_BADPARAMCOUNT;
        return call.id == kWrite ? Write(*arg) : BinaryWrite(*arg);
    }
    case kClear:
        return Clear();
    case kEnd:
        return End();
    case kFlush:
        return Flush();
    case kBuffer: {
        if (call.put) {
            long value = 0;
            HRESULT hr = NeutralLong(call.value, value);
            if (FAILED(hr)) return hr;
            return put_Buffer(value ? VARIANT_TRUE : VARIANT_FALSE);
        }
        VARIANT_BOOL value = VARIANT_FALSE;
        HRESULT hr = get_Buffer(&value);
        if (FAILED(hr)) return hr;
        V_VT(call.result) = VT_BOOL;
        V_BOOL(call.result) = value;
        return S_OK;
    }
    case kContentType: {
        if (call.put) {
            std::wstring value;
            HRESULT hr = NeutralText(call.value, value);
            if (FAILED(hr)) return hr;
            Bstr b(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())));
            if (!b.Get()) return E_OUTOFMEMORY;
            return put_ContentType(b.Get());
        }
        BSTR value = nullptr;
        HRESULT hr = get_ContentType(&value);
        if (FAILED(hr)) return hr;
        V_VT(call.result) = VT_BSTR;
        V_BSTR(call.result) = value;
        return S_OK;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace pagehost
