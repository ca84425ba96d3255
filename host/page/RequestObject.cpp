#include "host/page/RequestObject.h"

#include <algorithm>
#include <cctype>

#include "frame/ComPtr.h"

namespace tarnwick::host {

namespace {

enum : DISPID { kQueryString = 1, kForm, kCookies, kServerVariables, kTotalBytes, kBinaryRead, kClientCertificate };

// The collections take their key through their own default member:
// QueryString("x") is QueryString.Item("x").
const Member kMembers[] = {{L"Item", DISPID_VALUE},
                           {L"QueryString", kQueryString, Access::Object},
                           {L"Form", kForm, Access::Object},
                           {L"Cookies", kCookies, Access::Object},
                           {L"ServerVariables", kServerVariables, Access::Object},
                           {L"TotalBytes", kTotalBytes},
                           {L"BinaryRead", kBinaryRead},
                           {L"ClientCertificate", kClientCertificate, Access::Object}};

// "User-Agent" -> "HTTP_USER_AGENT".
std::string VariableName(const std::string& header) {
    std::string name = "HTTP_";
    for (char c : header) name.push_back(c == '-' ? '_' : static_cast<char>(toupper(static_cast<unsigned char>(c))));
    return name;
}

template <class T>
HRESULT Hand(T* object, T** out) {
    *out = object;
    return object ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

WideValues RequestObject::Widen(const NameValues& values) const {
    WideValues wide;
    wide.reserve(values.size());
    for (const auto& v : values) wide.emplace_back(Wide(v.first, state_->codePage), Wide(v.second, state_->codePage));
    return wide;
}

HRESULT RequestObject::Collection(WideValues items, const std::string& whole, IRequestDictionary** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Hand<IRequestDictionary>(new (std::nothrow) TextCollection(items, Wide(whole, state_->codePage)),
                                    out);
}

WideValues RequestObject::ServerVariables() const {
    const HttpRequest& r = *state_->request;
    NameValues v;
    std::string host = r.Header("Host");
    std::string serverName = host.empty() ? r.localAddress : host.substr(0, host.rfind(':'));
    if (!host.empty() && host[0] == '[') serverName = host.substr(0, host.find(']') + 1);
    std::string script = "/" + state_->sitePath;
    std::string physical = Narrow(state_->siteRoot, 0);
    std::string translated = physical + "\\" + state_->sitePath;
    std::replace(translated.begin(), translated.end(), '/', '\\');
    v.emplace_back("REQUEST_METHOD", r.method);
    v.emplace_back("QUERY_STRING", r.query);
    v.emplace_back("CONTENT_TYPE", r.Header("Content-Type"));
    v.emplace_back("CONTENT_LENGTH", std::to_string(r.body.size()));
    v.emplace_back("SCRIPT_NAME", script);
    v.emplace_back("PATH_INFO", script);
    v.emplace_back("URL", script);
    v.emplace_back("PATH_TRANSLATED", translated);
    v.emplace_back("APPL_PHYSICAL_PATH", physical + "\\");
    v.emplace_back("SERVER_NAME", serverName);
    v.emplace_back("SERVER_PORT", std::to_string(r.localPort));
    v.emplace_back("SERVER_PROTOCOL", r.protocol);
    v.emplace_back("SERVER_SOFTWARE", state_->serverSoftware);
    v.emplace_back("REMOTE_ADDR", r.remoteAddress);
    v.emplace_back("REMOTE_HOST", r.remoteAddress);
    v.emplace_back("LOCAL_ADDR", r.localAddress);
    v.emplace_back("HTTPS", "off");
    std::string all;
    std::string raw;
    for (const auto& h : r.headers) {
        std::string name = VariableName(h.first);
        v.emplace_back(name, h.second);
        all += name + ":" + h.second + "\r\n";
        raw += h.first + ": " + h.second + "\r\n";
    }
    v.emplace_back("ALL_HTTP", all);
    v.emplace_back("ALL_RAW", raw);
    // Server variables are ASCII by nature; the page code page is right for
    // the odd non-ASCII header value too.
    return Widen(v);
}

HRESULT RequestObject::get_Item(BSTR name, IDispatch** out) {
    // Reached through the vtable only; scripts use the default member below.
    if (!out) return E_POINTER;
    *out = nullptr;
    (void)name;
    return E_NOTIMPL;
}

HRESULT RequestObject::get_QueryString(IRequestDictionary** out) {
    return Collection(Widen(state_->query), state_->request->query, out);
}

HRESULT RequestObject::get_Form(IRequestDictionary** out) {
    const bool urlEncoded = !state_->form.empty();
    return Collection(Widen(state_->form), urlEncoded ? state_->request->body : std::string(), out);
}

HRESULT RequestObject::get_ServerVariables(IRequestDictionary** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Hand<IRequestDictionary>(new (std::nothrow) TextCollection(ServerVariables(), std::wstring()), out);
}

HRESULT RequestObject::get_ClientCertificate(IRequestDictionary** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Hand<IRequestDictionary>(new (std::nothrow) TextCollection(WideValues(), std::wstring()), out);
}

HRESULT RequestObject::get_Cookies(IRequestDictionary** out) {
    return Collection(Widen(state_->cookies), state_->request->Header("Cookie"), out);
}

HRESULT RequestObject::get_TotalBytes(LONG* total) {
    if (!total) return E_POINTER;
    *total = static_cast<LONG>(state_->request->body.size());
    return S_OK;
}

HRESULT RequestObject::BinaryRead(VARIANT* countToRead, VARIANT* result) {
    if (!countToRead || !result) return E_POINTER;
    VariantInit(result);
    long requested = 0;
    HRESULT hr = VariantLong(*countToRead, requested);
    if (FAILED(hr)) return hr;
    if (requested < 0) return E_INVALIDARG;
    const std::string& body = state_->request->body;
    size_t n = std::min(static_cast<size_t>(requested), body.size() - state_->readPosition);
    hr = CopyByteArray(std::string_view(body).substr(state_->readPosition, n), result);
    if (FAILED(hr)) return hr;
    state_->readPosition += n;
    // The count argument receives the number of bytes actually read.
    VariantClear(countToRead);
    SetLong(countToRead, static_cast<long>(n));
    return S_OK;
}

const Member* RequestObject::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT RequestObject::Call(const Invocation& call) {
    if (call.put) return DISP_E_MEMBERNOTFOUND;
    const bool keyed = call.args.Count() >= 1;
    const VARIANT* key = keyed ? call.args.Raw(0) : nullptr;
    switch (call.id) {
    case DISPID_VALUE: {
        if (!keyed) return DISP_E_BADPARAMCOUNT;
        // Request("name") looks in the query string, the form, the cookies
        // and the server variables, in that order, and stops at a match.
        for (int source = 0; source < 4; ++source) {
            const WideValues values = source == 0   ? Widen(state_->query)
                                      : source == 1 ? Widen(state_->form)
                                      : source == 2 ? Widen(state_->cookies)
                                                    : ServerVariables();
            HRESULT hr = LookUpValue(values, *key, call.result);
            if (FAILED(hr) && hr != DISP_E_BADINDEX) return hr;
            if (V_VT(call.result) != VT_EMPTY) return S_OK;
        }
        return S_OK;
    }
    case kQueryString:
    case kForm:
    case kCookies:
    case kServerVariables:
    case kClientCertificate: {
        frame::ComPtr<IRequestDictionary> collection;
        HRESULT hr = call.id == kQueryString     ? get_QueryString(collection.Put())
                     : call.id == kForm          ? get_Form(collection.Put())
                     : call.id == kCookies       ? get_Cookies(collection.Put())
                     : call.id == kServerVariables ? get_ServerVariables(collection.Put())
                                                 : get_ClientCertificate(collection.Put());
        if (FAILED(hr)) return hr;
        SetDispatch(call.result, collection.Get());
        return S_OK;
    }
    case kTotalBytes: {
        LONG total = 0;
        get_TotalBytes(&total);
        SetLong(call.result, total);
        return S_OK;
    }
    case kBinaryRead: {
        if (!keyed) return DISP_E_BADPARAMCOUNT;
        frame::Variant count;
        HRESULT hr = VariantCopyInd(&count, call.args.Raw(0));
        if (SUCCEEDED(hr)) hr = BinaryRead(&count, call.result);
        // A script variable passed by reference receives the count read.
        if (SUCCEEDED(hr) && call.args.ByRef(0)) {
            VariantClear(call.args.Raw(0));
            SetLong(call.args.Raw(0), V_I4(&count));
        }
        return hr;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace tarnwick::host
