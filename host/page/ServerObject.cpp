#include "host/page/ServerObject.h"

#include <oleauto.h>

#include <algorithm>

#include "frame/ComPtr.h"
#include "host/page/ClassFactories.h"
#include "host/site/UrlText.h"

namespace tarnwick::host {

namespace {

enum : DISPID { kCreateObject = 1, kHTMLEncode, kURLEncode, kURLPathEncode, kMapPath, kScriptTimeout };

const Member kMembers[] = {{L"CreateObject", kCreateObject}, {L"HTMLEncode", kHTMLEncode},
                           {L"URLEncode", kURLEncode},       {L"URLPathEncode", kURLPathEncode},
                           {L"MapPath", kMapPath},           {L"ScriptTimeout", kScriptTimeout}};

HRESULT Out(const std::wstring& s, BSTR* out) {
    *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

// Calls a page hook (OnStartPage/OnEndPage) when the object has one.
HRESULT CallHook(IDispatch* object, const wchar_t* name, IUnknown* context, bool* found) {
    *found = false;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return S_OK;
    *found = true;
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    if (context) {
        V_VT(&arg) = VT_UNKNOWN;
        V_UNKNOWN(&arg) = context;
        params.rgvarg = &arg;
        params.cArgs = 1;
    }
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

}  // namespace

void EndPageObjects(PageState& state) {
    std::vector<frame::ComPtr<IDispatch>> objects;
    objects.swap(state.startedObjects);
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        bool found = false;
        CallHook(it->Get(), L"OnEndPage", nullptr, &found);
    }
}

HRESULT ServerObject::get_ScriptTimeout(LONG* seconds) {
    if (!seconds) return E_POINTER;
    *seconds = scriptTimeout_;
    return S_OK;
}

HRESULT ServerObject::put_ScriptTimeout(LONG seconds) {
    // Kept for pages to read back; pages run to their end.
    scriptTimeout_ = seconds;
    return S_OK;
}

HRESULT ServerObject::CreateObject(BSTR progId, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    frame::ComPtr<IDispatch> object;
    HRESULT hr = CreateByProgId(progId ? progId : L"", CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(object.Put()));
    if (FAILED(hr)) return hr;
    bool found = false;
    hr = CallHook(object.Get(), L"OnStartPage", state_->context, &found);
    if (FAILED(hr) && !state_->ended) return hr;
    if (found) {
        // The page's own reference, for OnEndPage; let go when the page ends.
        object->AddRef();
        state_->startedObjects.emplace_back(object.Get());
    }
    *out = object.Detach();
    return S_OK;
}

HRESULT ServerObject::HTMLEncode(BSTR text, BSTR* out) {
    if (!out) return E_POINTER;
    std::wstring encoded;
    for (wchar_t c : Text(text)) {
        switch (c) {
        case L'&': encoded += L"&amp;"; break;
        case L'<': encoded += L"&lt;"; break;
        case L'>': encoded += L"&gt;"; break;
        case L'"': encoded += L"&quot;"; break;
        case L'\'': encoded += L"&#39;"; break;
        default: encoded += c;
        }
    }
    return Out(encoded, out);
}

HRESULT ServerObject::MapPath(BSTR path, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::string reference = Narrow(Text(path), state_->codePage);
    const bool fromRoot = !reference.empty() && (reference[0] == '/' || reference[0] == '\\');
    std::string sitePath;
    if (!ResolveInclude(state_->sitePath, reference, fromRoot, sitePath)) return E_INVALIDARG;
    std::wstring physical = state_->siteRoot;
    std::wstring relative = Wide(sitePath, state_->codePage);
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    if (!relative.empty()) physical += L"\\" + relative;
    return Out(physical, out);
}

HRESULT ServerObject::URLEncode(BSTR text, BSTR* out) {
    if (!out) return E_POINTER;
    return Out(Wide(UrlEncode(Narrow(Text(text), state_->codePage)), CP_UTF8), out);
}

HRESULT ServerObject::URLPathEncode(BSTR text, BSTR* out) {
    if (!out) return E_POINTER;
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : Narrow(Text(text), state_->codePage)) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '%' || c == '#') {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 15];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return Out(Wide(encoded, CP_UTF8), out);
}

const Member* ServerObject::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT ServerObject::Call(const Invocation& call) {
    if (call.id == kScriptTimeout) {
        if (!call.put) {
            SetLong(call.result, scriptTimeout_);
            return S_OK;
        }
        long seconds = 0;
        HRESULT hr = VariantLong(*call.value, seconds);
        return FAILED(hr) ? hr : put_ScriptTimeout(seconds);
    }
    if (call.put) return DISP_E_MEMBERNOTFOUND;
    std::wstring argument;
    HRESULT hr = call.args.String(0, argument);
    if (FAILED(hr)) return hr;
    frame::Bstr in(SysAllocStringLen(argument.data(), static_cast<UINT>(argument.size())));
    frame::Bstr result;
    switch (call.id) {
    case kCreateObject: {
        frame::ComPtr<IDispatch> object;
        hr = CreateObject(in.Get(), object.Put());
        // A component that ended the page in OnStartPage (Response.End)
        // stops the script here.
        if (state_->ended) return kPageEnded;
        if (FAILED(hr)) {
            std::wstring message = L"Server.CreateObject failed for \"" + argument + L"\"";
            return call.Fail(hr, message.c_str());
        }
        SetDispatch(call.result, object.Get());
        return S_OK;
    }
    case kHTMLEncode: hr = HTMLEncode(in.Get(), result.Put()); break;
    case kURLEncode: hr = URLEncode(in.Get(), result.Put()); break;
    case kURLPathEncode: hr = URLPathEncode(in.Get(), result.Put()); break;
    case kMapPath:
        hr = MapPath(in.Get(), result.Put());
        if (FAILED(hr)) return call.Fail(hr, L"Server.MapPath: the path leaves the site");
        break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) return hr;
    V_VT(call.result) = VT_BSTR;
    V_BSTR(call.result) = result.Detach();
    return S_OK;
}

}  // namespace tarnwick::host
