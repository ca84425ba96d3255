#include "PageHost.h"

#include <cstdio>

#include "DirectGet.h"
#include "FileTools.h"
#include "RegistryTools.h"
#include "ScriptingContext.h"

namespace pagehost {

// {44DF9F18-09B6-448E-9956-18C750DD6688}
const CLSID CLSID_PageHost = {0x44df9f18, 0x09b6, 0x448e, {0x99, 0x56, 0x18, 0xc7, 0x50, 0xdd, 0x66, 0x88}};
const wchar_t kPageHostProgId[] = L"TarnwickTest.PageHost";
const wchar_t kPageHostClsidText[] = L"{44DF9F18-09B6-448E-9956-18C750DD6688}";

namespace {

enum : DISPID {
    // Page binding and failure injection.
    kContext = 1,
    kFailProperty,
    kFailTotalBytes,
    kFailBinaryRead,
    kShortRead,
    kFailCode,
    // Request body.
    kSetBodyHex = 100,
    kSetBodyText,
    kSetBodyFile,
    kBodyLength,
    kBodyHex,
    kReadPosition,
    // Recorded output.
    kOutputText = 200,
    kOutputHex,
    kBinaryWriteType,
    kWriteType,
    kContentType,
    kBufferValue,
    kEnded,
    kLog,
    kRequestLog,
    kContextLog,
    kReset,
    // Reference tracking.
    kHeldPageObjects = 300,
    kLiveContexts,
    kHeldRefs,
    // Value helpers.
    kBytesToHex = 400,
    kHexToBytes,
    kArrayInfo,
    kNarrowHex,
    kWideHex,
    kFromNarrowHex,
    kFromWideHex,
    kIsNull,
    kVarType,
    kNullString,
    kHResultHex,
    kHResultFromHex,
    kFailWith,
    kFailWithException,
    kGetEnv,
    kDirectGet,
    kPrintable,
    // Files.
    kWriteFileHex = 500,
    kWriteFileText,
    kWriteFileNarrow,
    kReadFileHex,
    kReadFileText,
    kReadFileNarrow,
    kFileExists,
    kDirExists,
    kFileSize,
    kMakeDirs,
    kRemoveTree,
    kListDir,
    kTempDir,
    kNewScratchDir,
    // Registry.
    kRegRead = 600,
    kRegKeyExists,
    kRegSubkeyCount,
    kRegSubkeys,
    // The stand-in component.
    kProbeBind = 700,
    kProbeUnbind,
    kProbeWrite,
    kProbeReadHex,
};

const Member kMembers[] = {
    {L"Context", kContext, Access::Get},
    {L"FailProperty", kFailProperty, Access::GetPut},
    {L"FailTotalBytes", kFailTotalBytes, Access::GetPut},
    {L"FailBinaryRead", kFailBinaryRead, Access::GetPut},
    {L"ShortRead", kShortRead, Access::GetPut},
    {L"FailCode", kFailCode, Access::GetPut},
    {L"SetBodyHex", kSetBodyHex, Access::Get},
    {L"SetBodyText", kSetBodyText, Access::Get},
    {L"SetBodyFile", kSetBodyFile, Access::Get},
    {L"BodyLength", kBodyLength, Access::Get},
    {L"BodyHex", kBodyHex, Access::Get},
    {L"ReadPosition", kReadPosition, Access::Get},
    {L"OutputText", kOutputText, Access::Get},
    {L"OutputHex", kOutputHex, Access::Get},
    {L"BinaryWriteType", kBinaryWriteType, Access::Get},
    {L"WriteType", kWriteType, Access::Get},
    {L"ContentType", kContentType, Access::Get},
    {L"BufferValue", kBufferValue, Access::Get},
    {L"Ended", kEnded, Access::Get},
    {L"Log", kLog, Access::Get},
    {L"RequestLog", kRequestLog, Access::Get},
    {L"ContextLog", kContextLog, Access::Get},
    {L"Reset", kReset, Access::Get},
    {L"HeldPageObjects", kHeldPageObjects, Access::Get},
    {L"LiveContexts", kLiveContexts, Access::Get},
    {L"HeldRefs", kHeldRefs, Access::Get},
    {L"BytesToHex", kBytesToHex, Access::Get},
    {L"HexToBytes", kHexToBytes, Access::Get},
    {L"ArrayInfo", kArrayInfo, Access::Get},
    {L"NarrowHex", kNarrowHex, Access::Get},
    {L"WideHex", kWideHex, Access::Get},
    {L"FromNarrowHex", kFromNarrowHex, Access::Get},
    {L"FromWideHex", kFromWideHex, Access::Get},
    {L"IsNull", kIsNull, Access::Get},
    {L"VarType", kVarType, Access::Get},
    {L"NullString", kNullString, Access::Get},
    {L"HResultHex", kHResultHex, Access::Get},
    {L"HResultFromHex", kHResultFromHex, Access::Get},
    {L"FailWith", kFailWith, Access::Get},
    {L"FailWithException", kFailWithException, Access::Get},
    {L"GetEnv", kGetEnv, Access::Get},
    {L"DirectGet", kDirectGet, Access::Get},
    {L"Printable", kPrintable, Access::Get},
    {L"WriteFileHex", kWriteFileHex, Access::Get},
    {L"WriteFileText", kWriteFileText, Access::Get},
    {L"WriteFileNarrow", kWriteFileNarrow, Access::Get},
    {L"ReadFileHex", kReadFileHex, Access::Get},
    {L"ReadFileText", kReadFileText, Access::Get},
    {L"ReadFileNarrow", kReadFileNarrow, Access::Get},
    {L"FileExists", kFileExists, Access::Get},
    {L"DirExists", kDirExists, Access::Get},
    {L"FileSize", kFileSize, Access::Get},
    {L"MakeDirs", kMakeDirs, Access::Get},
    {L"RemoveTree", kRemoveTree, Access::Get},
    {L"ListDir", kListDir, Access::Get},
    {L"TempDir", kTempDir, Access::Get},
    {L"NewScratchDir", kNewScratchDir, Access::Get},
    {L"RegRead", kRegRead, Access::Get},
    {L"RegKeyExists", kRegKeyExists, Access::Get},
    {L"RegSubkeyCount", kRegSubkeyCount, Access::Get},
    {L"RegSubkeys", kRegSubkeys, Access::Get},
    {L"ProbeBind", kProbeBind, Access::Get},
    {L"ProbeUnbind", kProbeUnbind, Access::Get},
    {L"ProbeWrite", kProbeWrite, Access::Get},
    {L"ProbeReadHex", kProbeReadHex, Access::Get},
};

const wchar_t* const kPageObjectNames[] = {L"Request", L"Response", L"Server", L"Session", L"Application"};

HRESULT SetBool(VARIANT* result, bool value) {
    SetLong(result, value ? 1 : 0);
    return S_OK;
}

// The first `count` arguments as strings.
HRESULT Strings(const Args& args, std::wstring* out, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        HRESULT hr = NeutralText(args.Raw(i), out[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

std::wstring ArrayInfo(const VARIANT& arg) {
    const VARIANT* v = Deref(&arg);
    std::wstring info = L"vt=" + std::to_wstring(V_VT(v));
    if (!(V_VT(v) & VT_ARRAY)) return info;
    SAFEARRAY* sa = (V_VT(v) & VT_BYREF) ? (V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr) : V_ARRAY(v);
    if (!sa) return info + L" null";
    UINT dims = SafeArrayGetDim(sa);
    info += L" dims=" + std::to_wstring(dims);
    LONG lower = 0;
    LONG upper = -1;
    if (dims >= 1 && SUCCEEDED(SafeArrayGetLBound(sa, 1, &lower)) && SUCCEEDED(SafeArrayGetUBound(sa, 1, &upper)))
        info += L" lbound=" + std::to_wstring(lower) + L" count=" + std::to_wstring(upper - lower + 1);
    return info;
}

bool IsNullString(const VARIANT& arg) {
    const VARIANT* v = Deref(&arg);
    if (V_VT(v) == VT_BSTR) return V_BSTR(v) == nullptr;
    if (V_VT(v) == (VT_BYREF | VT_BSTR)) return !V_BSTRREF(v) || !*V_BSTRREF(v);
    return false;
}

// Printable ASCII stays, every other unit becomes \uXXXX, so the text can be
// echoed safely under Wine.
std::wstring Printable(const std::wstring& s) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out;
    for (wchar_t c : s) {
        unsigned u = static_cast<unsigned short>(c);
        if (u >= 0x20 && u < 0x7f) {
            out.push_back(c);
            continue;
        }
        out += L"\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[(u >> shift) & 15]);
    }
    return out;
}

std::wstring HResultHex(long value) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"%08lX", static_cast<unsigned long>(static_cast<ULONG>(value)));
    return buffer;
}

}  // namespace

PageHost::PageHost()
    : state_(std::make_shared<HostState>()),
      request_(new Request(state_)),
      response_(new Response(state_)),
      server_(new Server),
      session_(new Session),
      application_(new Application) {}

HRESULT PageHost::GetPageObject(PageObject which, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const wchar_t* name = kPageObjectNames[static_cast<int>(which)];
    if (EqualsNoCase(state_->failProperty, name)) {
        HostState::Append(state_->contextLog, std::wstring(name) + L"=fail");
        return state_->failCode;
    }
    HostState::Append(state_->contextLog, name);
    IUnknown* object = nullptr;
    switch (which) {
    case PageObject::Request:
        *out = static_cast<IRequest*>(request_.Get());
        object = request_.Get();
        break;
    case PageObject::Response:
        *out = static_cast<IResponse*>(response_.Get());
        object = response_.Get();
        break;
    case PageObject::Server:
        *out = static_cast<IServer*>(server_.Get());
        object = server_.Get();
        break;
    case PageObject::Session:
        *out = static_cast<ISessionObject*>(session_.Get());
        object = session_.Get();
        break;
    case PageObject::Application:
        *out = static_cast<IApplicationObject*>(application_.Get());
        object = application_.Get();
        break;
    }
    object->AddRef();
    return S_OK;
}

long PageHost::HeldRefs(const std::wstring& name) const {
    if (EqualsNoCase(name, L"Request")) return request_->RefCount() - 1;
    if (EqualsNoCase(name, L"Response")) return response_->RefCount() - 1;
    if (EqualsNoCase(name, L"Server")) return server_->RefCount() - 1;
    if (EqualsNoCase(name, L"Session")) return session_->RefCount() - 1;
    if (EqualsNoCase(name, L"Application")) return application_->RefCount() - 1;
    return -1;
}

const Member* PageHost::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT PageHost::Call(const Invocation& call) {
    const DISPID id = call.id;
    if (id < kOutputText) return CallBody(id, call.value, call.args, call.result);
    if (id < kBytesToHex) return CallOutput(id, call.args, call.result);
    if (id < kWriteFileHex) return CallHelper(id, call.args, call.result, call.excep);
    if (id < kProbeBind) return CallFiles(id, call.args, call.result);
    return CallProbe(id, call.args, call.result);
}

// Page binding, failure injection and the request body.
HRESULT PageHost::CallBody(DISPID id, const VARIANT* value, const Args& args, VARIANT* result) {
    HostState& s = *state_;
    long number = 0;
    std::wstring text;
    HRESULT hr = S_OK;
    switch (id) {
    case kContext: {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = new ScriptingContext(this);
        return S_OK;
    }
    case kFailProperty:
        if (!value) return SetString(result, s.failProperty);
        if (FAILED(hr = NeutralText(value, text))) return hr;
        if (!text.empty()) {
            bool known = false;
            for (const wchar_t* name : kPageObjectNames) known = known || EqualsNoCase(text, name);
            if (!known) return E_INVALIDARG;
        }
        s.failProperty = text;
        return S_OK;
    case kFailTotalBytes:
    case kFailBinaryRead: {
        bool& flag = id == kFailTotalBytes ? s.failTotalBytes : s.failBinaryRead;
        if (!value) return SetBool(result, flag);
        if (FAILED(hr = NeutralLong(value, number))) return hr;
        flag = number != 0;
        return S_OK;
    }
    case kShortRead:
        if (!value) {
            SetLong(result, s.shortRead);
            return S_OK;
        }
        if (FAILED(hr = NeutralLong(value, number))) return hr;
        s.shortRead = number < 0 ? -1 : number;
        return S_OK;
    case kFailCode:
        if (!value) {
            SetLong(result, s.failCode);
            return S_OK;
        }
        if (FAILED(hr = NeutralLong(value, number))) return hr;
        if (number >= 0) return E_INVALIDARG;  // an injected failure must be a failure code
        s.failCode = number;
        return S_OK;
    case kSetBodyHex:
    case kSetBodyText:
    case kSetBodyFile: {
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        std::string body;
        bool ok = id == kSetBodyHex    ? HexToBytes(text, body)
                  : id == kSetBodyText ? UnitsToBytes(text, body)
                                       : ReadFileBytes(text, body);
        if (!ok) return id == kSetBodyFile ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : E_INVALIDARG;
        s.body = std::move(body);
        s.readPosition = 0;
        return S_OK;
    }
    case kBodyLength:
        SetLong(result, static_cast<long>(s.body.size()));
        return S_OK;
    case kBodyHex:
        return SetString(result, BytesToHex(s.body));
    case kReadPosition:
        SetLong(result, static_cast<long>(s.readPosition));
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// What the component did to the page, and who still holds page objects.
HRESULT PageHost::CallOutput(DISPID id, const Args& args, VARIANT* result) {
    HostState& s = *state_;
    switch (id) {
    case kOutputText:
        return SetString(result, s.outputText);
    case kOutputHex:
        return SetString(result, BytesToHex(s.outputBytes));
    case kBinaryWriteType:
        SetLong(result, s.binaryWriteType);
        return S_OK;
    case kWriteType:
        SetLong(result, s.writeType);
        return S_OK;
    case kContentType:
        return SetString(result, s.contentType);
    case kBufferValue:
        SetLong(result, s.bufferValue);
        return S_OK;
    case kEnded:
        return SetBool(result, s.ended);
    case kLog:
        return SetString(result, s.log);
    case kRequestLog:
        return SetString(result, s.requestLog);
    case kContextLog:
        return SetString(result, s.contextLog);
    case kReset:
        s.ClearRecording();
        return S_OK;
    case kHeldPageObjects: {
        long held = 0;
        for (const wchar_t* name : kPageObjectNames) held += HeldRefs(name);
        SetLong(result, held);
        return S_OK;
    }
    case kLiveContexts:
        SetLong(result, s.liveContexts);
        return S_OK;
    case kHeldRefs: {
        std::wstring name;
        HRESULT hr = NeutralText(args.Raw(0), name);
        if (FAILED(hr)) return hr;
        long held = HeldRefs(name);
        if (held < 0) return E_INVALIDARG;
        SetLong(result, held);
        return S_OK;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Values scripts cannot inspect or make themselves under Wine.
HRESULT PageHost::CallHelper(DISPID id, const Args& args, VARIANT* result, EXCEPINFO* excep) {
    std::wstring text;
    std::string bytes;
    long number = 0;
    HRESULT hr = S_OK;
    switch (id) {
    case kBytesToHex: {
        const VARIANT* v = args.Raw(0);
        if (!v) return DISP_E_BADPARAMCOUNT;
        // Empty counts as no bytes.
        if (!ReadByteArray(*v, bytes) && V_VT(v) != VT_EMPTY)
            return SetString(result, L"<not bytes vt=" + std::to_wstring(V_VT(v)) + L">");
        return SetString(result, BytesToHex(bytes));
    }
    case kHexToBytes:
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        if (!HexToBytes(text, bytes)) return E_INVALIDARG;
        return CopyByteArray(bytes, result);
    case kArrayInfo:
        if (!args.Raw(0)) return DISP_E_BADPARAMCOUNT;
        return SetString(result, ArrayInfo(*args.Raw(0)));
    case kNarrowHex:
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        return SetString(result, BytesToHex(ToNarrow(text)));
    case kWideHex:
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        return SetString(result, WideHex(text));
    case kFromNarrowHex:
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        if (!HexToBytes(text, bytes)) return E_INVALIDARG;
        return SetString(result, ToWide(bytes));
    case kFromWideHex: {
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        std::wstring made;
        if (!FromWideHex(text, made)) return E_INVALIDARG;
        return SetString(result, made);
    }
    case kIsNull:
        if (!args.Raw(0)) return DISP_E_BADPARAMCOUNT;
        return SetBool(result, IsNullString(*args.Raw(0)));
    case kVarType:
        if (!args.Raw(0)) return DISP_E_BADPARAMCOUNT;
        SetLong(result, V_VT(args.Raw(0)));
        return S_OK;
    case kNullString:
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = nullptr;
        return S_OK;
    case kHResultHex:
        if (FAILED(hr = NeutralLong(args.Raw(0), number))) return hr;
        return SetString(result, HResultHex(number));
    case kHResultFromHex: {
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text.erase(0, 2);
        if (text.size() % 2) text.insert(text.begin(), L'0');
        if (!HexToBytes(text, bytes) || bytes.empty() || bytes.size() > 4) return E_INVALIDARG;
        unsigned long value = 0;
        for (unsigned char c : bytes) value = value << 8 | c;
        SetLong(result, static_cast<long>(value));
        return S_OK;
    }
    case kFailWith:
        if (FAILED(hr = NeutralLong(args.Raw(0), number))) return hr;
        return number;
    case kFailWithException:
        if (FAILED(hr = NeutralLong(args.Raw(0), number))) return hr;
        if (!excep) return number;
        ZeroMemory(excep, sizeof *excep);
        excep->scode = number;
        excep->bstrSource = SysAllocString(kPageHostProgId);
        excep->bstrDescription = SysAllocString(L"injected failure");
        return DISP_E_EXCEPTION;
    case kDirectGet: {
        const VARIANT* v = args.Raw(0);
        if (!v) return DISP_E_BADPARAMCOUNT;
        if (V_VT(v) != VT_DISPATCH || !V_DISPATCH(v)) return DISP_E_TYPEMISMATCH;
        if (FAILED(hr = NeutralText(args.Raw(1), text))) return hr;
        return DirectGet(V_DISPATCH(v), text, result);
    }
    case kPrintable:
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        return SetString(result, Printable(text));
    case kGetEnv: {
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        DWORD n = GetEnvironmentVariableW(text.c_str(), nullptr, 0);
        if (n == 0) return SetString(result, kMissing);
        std::wstring value(n, L'\0');
        n = GetEnvironmentVariableW(text.c_str(), &value[0], n);
        value.resize(n);
        return SetString(result, value);
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Files and registry.
HRESULT PageHost::CallFiles(DISPID id, const Args& args, VARIANT* result) {
    std::wstring a[2];
    std::string bytes;
    HRESULT hr = S_OK;
    switch (id) {
    case kWriteFileHex:
    case kWriteFileText:
    case kWriteFileNarrow: {
        if (FAILED(hr = Strings(args, a, 2))) return hr;
        bool ok = true;
        if (id == kWriteFileHex) ok = HexToBytes(a[1], bytes);
        else if (id == kWriteFileText) ok = UnitsToBytes(a[1], bytes);
        else bytes = ToNarrow(a[1]);
        if (!ok) return E_INVALIDARG;
        return WriteFileBytes(a[0], bytes);
    }
    case kReadFileHex:
    case kReadFileText:
    case kReadFileNarrow:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        if (!ReadFileBytes(a[0], bytes)) return SetString(result, kMissing);
        return SetString(result, id == kReadFileHex    ? BytesToHex(bytes)
                                 : id == kReadFileText ? BytesToUnits(bytes)
                                                       : ToWide(bytes));
    case kFileExists:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return SetBool(result, FileExists(a[0]));
    case kDirExists:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return SetBool(result, DirExists(a[0]));
    case kFileSize:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        SetLong(result, FileSize(a[0]));
        return S_OK;
    case kMakeDirs:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return MakeDirs(a[0]);
    case kRemoveTree:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return RemoveTree(a[0]);
    case kListDir:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return SetString(result, ListDir(a[0]));
    case kTempDir:
        return SetString(result, TempDir());
    case kNewScratchDir: {
        std::wstring dir;
        if (FAILED(hr = NewScratchDir(dir))) return hr;
        return SetString(result, dir);
    }
    case kRegRead:
        // The value name may be left out for the default value.
        if (FAILED(hr = Strings(args, a, args.Count() >= 2 ? 2 : 1))) return hr;
        return SetString(result, RegRead(a[0], a[1]));
    case kRegKeyExists:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return SetBool(result, RegKeyExists(a[0]));
    case kRegSubkeyCount:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        SetLong(result, RegSubkeyCount(a[0]));
        return S_OK;
    case kRegSubkeys:
        if (FAILED(hr = Strings(args, a, 1))) return hr;
        return SetString(result, RegSubkeys(a[0]));
    }
    return DISP_E_MEMBERNOTFOUND;
}

// The stand-in component (see ProbeBinding.h).
HRESULT PageHost::CallProbe(DISPID id, const Args& args, VARIANT* result) {
    HRESULT hr = S_OK;
    switch (id) {
    case kProbeBind: {
        const VARIANT* v = args.Raw(0);
        if (!v) return DISP_E_BADPARAMCOUNT;
        IUnknown* unknown = nullptr;
        if (V_VT(v) == VT_DISPATCH) unknown = V_DISPATCH(v);
        else if (V_VT(v) == VT_UNKNOWN) unknown = V_UNKNOWN(v);
        else if (V_VT(v) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(v)) unknown = *V_DISPATCHREF(v);
        else if (V_VT(v) == (VT_BYREF | VT_UNKNOWN) && V_UNKNOWNREF(v)) unknown = *V_UNKNOWNREF(v);
        else if (V_VT(v) != VT_EMPTY && V_VT(v) != VT_NULL) return DISP_E_TYPEMISMATCH;
        return probe_.Bind(unknown);
    }
    case kProbeUnbind:
        probe_.Unbind();
        return S_OK;
    case kProbeWrite: {
        std::wstring text;
        if (FAILED(hr = NeutralText(args.Raw(0), text))) return hr;
        return probe_.Write(text);
    }
    case kProbeReadHex: {
        std::string bytes;
        if (FAILED(hr = probe_.ReadAll(bytes))) return hr;
        return SetString(result, BytesToHex(bytes));
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace pagehost
