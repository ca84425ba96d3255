#include "host/page/ResponseObject.h"

#include <oleauto.h>

#include <cstdio>

#include "frame/ComPtr.h"
#include "host/page/Collections.h"
#include "host/site/UrlText.h"

namespace tarnwick::host {

namespace {

enum : DISPID {
    kWrite = 1, kWriteBlock, kBinaryWrite, kClear, kEnd, kFlush, kBuffer, kContentType, kCharset, kCodePage,
    kStatus, kAddHeader, kRedirect, kCookies, kExpires, kExpiresAbsolute, kCacheControl, kIsClientConnected,
    kAppendToLog, kAdd
};

const Member kMembers[] = {
    {L"Write", kWrite},         {L"WriteBlock", kWriteBlock},
    {L"BinaryWrite", kBinaryWrite}, {L"Clear", kClear},
    {L"End", kEnd},             {L"Flush", kFlush},
    {L"Buffer", kBuffer},       {L"ContentType", kContentType},
    {L"Charset", kCharset},     {L"CodePage", kCodePage},
    {L"Status", kStatus},       {L"AddHeader", kAddHeader},
    {L"Redirect", kRedirect},   {L"Cookies", kCookies},
    {L"Expires", kExpires},     {L"ExpiresAbsolute", kExpiresAbsolute},
    {L"CacheControl", kCacheControl}, {L"IsClientConnected", kIsClientConnected},
    {L"AppendToLog", kAppendToLog}, {L"Add", kAdd}};

enum : DISPID {
    kCookieExpires = 1, kCookiePath, kCookieDomain, kCookieSecure, kCookieHasKeys, kCookieHttpOnly, kCookieSameSite
};

// HttpOnly and SameSite are this server's own: a page reaches them by name.
const Member kCookieMembers[] = {{L"Item", DISPID_VALUE},       {L"Expires", kCookieExpires},
                                 {L"Path", kCookiePath},        {L"Domain", kCookieDomain},
                                 {L"Secure", kCookieSecure},    {L"HasKeys", kCookieHasKeys},
                                 {L"HttpOnly", kCookieHttpOnly}, {L"SameSite", kCookieSameSite}};

// Header names and values may not carry line breaks (response splitting).
bool SafeHeaderText(const std::string& s) { return s.find_first_of("\r\n") == std::string::npos; }

std::string Ascii(BSTR s) { return Narrow(s ? std::wstring(s, SysStringLen(s)) : std::wstring(), CP_UTF8); }

// Response.Cookies("name"): one cookie of the response.
class CookieWriter final : public ScriptObject<IWriteCookie, &IID_IWriteCookie> {
public:
    CookieWriter(std::shared_ptr<PageState> state, std::string name) : state_(std::move(state)), name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE put_Item(VARIANT key, BSTR value) override {
        (void)key;   // keyed cookies ("a=1&b=2" values) are not offered
        Cookie().value = UrlEncode(Narrow(value ? value : L"", state_->codePage));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Expires(DATE when) override {
        Cookie().expires = HttpDate(when);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Domain(BSTR domain) override {
        std::string d = Ascii(domain);
        if (!SafeHeaderText(d) || d.find(';') != std::string::npos) return E_INVALIDARG;
        Cookie().domain = d;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override {
        std::string p = Ascii(path);
        if (!SafeHeaderText(p) || p.find(';') != std::string::npos) return E_INVALIDARG;
        Cookie().path = p;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Secure(VARIANT_BOOL secure) override {
        Cookie().secure = secure != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HasKeys(VARIANT_BOOL* hasKeys) override {
        if (!hasKeys) return E_POINTER;
        *hasKeys = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** out) override { return MakeKeyEnumerator({}, out); }

protected:
    const Member* Members(size_t& count) const override { return TableOf(kCookieMembers, count); }
    HRESULT Call(const Invocation& call) override {
        if (call.id == kCookieHasKeys) {
            SetBool(call.result, false);
            return S_OK;
        }
        if (!call.put) return DISP_E_MEMBERNOTFOUND;
        switch (call.id) {
        case DISPID_VALUE: {
            std::wstring text;
            HRESULT hr = VariantText(*call.value, text);
            if (FAILED(hr)) return hr;
            Cookie().value = UrlEncode(Narrow(text, state_->codePage));
            return S_OK;
        }
        case kCookieExpires: {
            frame::Variant date;
            HRESULT hr = VariantChangeType(&date, call.value, 0, VT_DATE);
            if (FAILED(hr)) return hr;
            return put_Expires(V_DATE(&date));
        }
        case kCookiePath:
        case kCookieDomain: {
            std::wstring text;
            HRESULT hr = VariantText(*call.value, text);
            if (FAILED(hr)) return hr;
            frame::Bstr b(SysAllocString(text.c_str()));
            return call.id == kCookiePath ? put_Path(b.Get()) : put_Domain(b.Get());
        }
        case kCookieSecure: {
            long secure = 0;
            HRESULT hr = VariantLong(*call.value, secure);
            if (FAILED(hr)) return hr;
            return put_Secure(secure ? VARIANT_TRUE : VARIANT_FALSE);
        }
        case kCookieHttpOnly: {
            long httpOnly = 0;
            HRESULT hr = VariantLong(*call.value, httpOnly);
            if (FAILED(hr)) return hr;
            Cookie().httpOnly = httpOnly != 0;
            return S_OK;
        }
        case kCookieSameSite: {
            std::wstring text;
            HRESULT hr = VariantText(*call.value, text);
            if (FAILED(hr)) return hr;
            const struct { const wchar_t* given; const char* sent; } kValues[] = {
                {L"Strict", "Strict"}, {L"Lax", "Lax"}, {L"None", "None"}, {L"", ""}};
            for (const auto& v : kValues) {
                if (_wcsicmp(text.c_str(), v.given) != 0) continue;
                Cookie().sameSite = v.sent;
                return S_OK;
            }
            return E_INVALIDARG;
        }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    OutgoingCookie& Cookie() { return state_->CookieOut(name_); }

    std::shared_ptr<PageState> state_;
    std::string name_;
};

}  // namespace

std::string HttpDate(DATE localTime) {
    SYSTEMTIME local = {}, utc = {};
    if (!VariantTimeToSystemTime(localTime, &local)) return std::string();
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) utc = local;
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    FILETIME ft;
    SystemTimeToFileTime(&utc, &ft);
    FileTimeToSystemTime(&ft, &utc);   // fills in the day of the week
    char text[64];
    snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u GMT", days[utc.wDayOfWeek % 7], utc.wDay,
             months[(utc.wMonth + 11) % 12], utc.wYear, utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

void ResponseObject::SetHeader(const std::string& name, const std::string& value) {
    for (auto& h : state_->headers) {
        if (_stricmp(h.first.c_str(), name.c_str()) == 0) {
            h.second = value;
            return;
        }
    }
    state_->headers.emplace_back(name, value);
}

std::string ResponseObject::HeaderValue(const std::string& name) const {
    for (const auto& h : state_->headers)
        if (_stricmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return std::string();
}

HRESULT ResponseObject::get_Buffer(VARIANT_BOOL* buffering) {
    if (!buffering) return E_POINTER;
    *buffering = state_->buffer ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ResponseObject::put_Buffer(VARIANT_BOOL buffering) {
    // Kept for pages to read back; the response is always sent whole.
    state_->buffer = buffering != VARIANT_FALSE;
    return S_OK;
}

HRESULT ResponseObject::get_ContentType(BSTR* type) {
    if (!type) return E_POINTER;
    *type = SysAllocString(Wide(state_->contentType, CP_UTF8).c_str());
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResponseObject::put_ContentType(BSTR type) {
    std::string t = Ascii(type);
    if (!SafeHeaderText(t)) return E_INVALIDARG;
    state_->contentType = t;
    return S_OK;
}

HRESULT ResponseObject::get_Expires(VARIANT* minutes) {
    if (!minutes) return E_POINTER;
    VariantInit(minutes);
    return S_OK;
}

HRESULT ResponseObject::put_Expires(LONG minutes) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    SetHeader("Expires", HttpDate(date + minutes / 1440.0));
    if (minutes <= 0) SetHeader("Cache-Control", "no-cache");
    return S_OK;
}

HRESULT ResponseObject::get_ExpiresAbsolute(VARIANT* when) {
    if (!when) return E_POINTER;
    VariantInit(when);
    return S_OK;
}

HRESULT ResponseObject::put_ExpiresAbsolute(DATE when) {
    SetHeader("Expires", HttpDate(when));
    return S_OK;
}

HRESULT ResponseObject::get_Cookies(IRequestDictionary** out) {
    // Scripts reach cookies through Response.Cookies("name"), handled in Call.
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT ResponseObject::get_Status(BSTR* status) {
    if (!status) return E_POINTER;
    std::string s = std::to_string(state_->status) + " " + state_->reason;
    *status = SysAllocString(Wide(s, CP_UTF8).c_str());
    return *status ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResponseObject::put_Status(BSTR status) {
    int code = 0;
    std::string reason;
    std::string text = Ascii(status);
    if (!SafeHeaderText(text) || !ParseStatusLine(text, code, reason)) return E_INVALIDARG;
    state_->status = code;
    state_->reason = reason;
    return S_OK;
}

HRESULT ResponseObject::AddHeader(BSTR name, BSTR value) {
    std::string n = Ascii(name);
    std::string v = Narrow(value ? value : L"", state_->codePage);
    if (n.empty() || !SafeHeaderText(n) || !SafeHeaderText(v) || n.find(':') != std::string::npos)
        return E_INVALIDARG;
    state_->headers.emplace_back(n, v);
    return S_OK;
}

HRESULT ResponseObject::AppendToLog(BSTR entry) {
    printf("page log: %s\n", Narrow(entry ? entry : L"", CP_UTF8).c_str());
    fflush(stdout);
    return S_OK;
}

HRESULT ResponseObject::BinaryWrite(VARIANT bytes) {
    std::string data;
    if (!ReadByteArray(bytes, data)) {
        // Other values are written as their text's bytes, as strings of
        // bytes made by scripts would be.
        std::wstring text;
        HRESULT hr = VariantText(bytes, text);
        if (FAILED(hr)) return hr;
        data = Narrow(text, state_->codePage);
    }
    if (!state_->ended) state_->body += data;
    return S_OK;
}

HRESULT ResponseObject::Clear() {
    state_->body.clear();
    return S_OK;
}

HRESULT ResponseObject::End() {
    state_->ended = true;
    return S_OK;
}

HRESULT ResponseObject::Flush() {
    // The response goes out whole when the page ends: nothing to do now.
    return S_OK;
}

HRESULT ResponseObject::Redirect(BSTR url) {
    std::string target = Narrow(url ? url : L"", state_->codePage);
    if (!SafeHeaderText(target)) return E_INVALIDARG;
    state_->status = 302;
    state_->reason = "Object Moved";
    SetHeader("Location", target);
    std::string shown;
    for (char c : target) {
        if (c == '"') shown += "%22";
        else if (c == '<') shown += "%3C";
        else if (c == '>') shown += "%3E";
        else shown += c;
    }
    state_->body = "<head><title>Object moved</title></head><body><h1>Object Moved</h1>"
                   "This object may be found <a href=\"" +
                   shown + "\">here</a>.</body>";
    state_->ended = true;
    return S_OK;
}

HRESULT ResponseObject::Write(VARIANT text) {
    std::wstring s;
    HRESULT hr = VariantText(text, s);
    if (FAILED(hr)) return hr;
    if (!state_->ended) state_->body += Narrow(s, state_->codePage);
    return S_OK;
}

HRESULT ResponseObject::WriteBlock(short block) {
    if (!state_->blocks || block < 0 || static_cast<size_t>(block) >= state_->blocks->size()) return E_INVALIDARG;
    if (!state_->ended) state_->body += (*state_->blocks)[static_cast<size_t>(block)];
    return S_OK;
}

HRESULT ResponseObject::IsClientConnected(VARIANT_BOOL* connected) {
    if (!connected) return E_POINTER;
    *connected = VARIANT_TRUE;
    return S_OK;
}

HRESULT ResponseObject::get_CharSet(BSTR* charset) {
    if (!charset) return E_POINTER;
    *charset = SysAllocString(Wide(state_->charset, CP_UTF8).c_str());
    return *charset ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResponseObject::put_CharSet(BSTR charset) {
    std::string c = Ascii(charset);
    if (!SafeHeaderText(c) || c.find(';') != std::string::npos) return E_INVALIDARG;
    state_->charset = c;
    return S_OK;
}

HRESULT ResponseObject::Pics(BSTR value) {
    std::string v = Ascii(value);
    if (!SafeHeaderText(v)) return E_INVALIDARG;
    SetHeader("PICS-Label", v);
    return S_OK;
}

HRESULT ResponseObject::get_CacheControl(BSTR* value) {
    if (!value) return E_POINTER;
    *value = SysAllocString(Wide(HeaderValue("Cache-Control"), CP_UTF8).c_str());
    return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResponseObject::put_CacheControl(BSTR value) {
    std::string v = Ascii(value);
    if (!SafeHeaderText(v)) return E_INVALIDARG;
    SetHeader("Cache-Control", v);
    return S_OK;
}

const Member* ResponseObject::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT ResponseObject::Call(const Invocation& call) {
    const Args& a = call.args;
    auto text = [&](UINT i, frame::Bstr& out) -> HRESULT {
        std::wstring s;
        HRESULT hr = a.String(i, s);
        if (SUCCEEDED(hr)) *out.Put() = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return hr;
    };
    auto valueText = [&](frame::Bstr& out) -> HRESULT {
        std::wstring s;
        HRESULT hr = VariantText(*call.value, s);
        if (SUCCEEDED(hr)) *out.Put() = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return hr;
    };
    frame::Bstr first, second;
    HRESULT hr = S_OK;
    switch (call.id) {
    case kWrite:
        if (a.Count() != 1) return DISP_E_BADPARAMCOUNT;
        return Write(*a.Raw(0));
    case kWriteBlock: {
        long block = 0;
        if (FAILED(hr = a.Long(0, block))) return hr;
        return WriteBlock(static_cast<short>(block));
    }
    case kBinaryWrite:
        if (a.Count() != 1) return DISP_E_BADPARAMCOUNT;
        return BinaryWrite(*a.Raw(0));
    case kClear:
        return Clear();
    case kEnd:
        End();
        return kPageEnded;
    case kFlush:
        return Flush();
    case kBuffer:
        if (call.put) {
            long on = 0;
            if (FAILED(hr = VariantLong(*call.value, on))) return hr;
            return put_Buffer(on ? VARIANT_TRUE : VARIANT_FALSE);
        }
        SetBool(call.result, state_->buffer);
        return S_OK;
    case kContentType:
        if (call.put) return FAILED(hr = valueText(first)) ? hr : put_ContentType(first.Get());
        return SetString(call.result, Wide(state_->contentType, CP_UTF8));
    case kCharset:
        if (call.put) return FAILED(hr = valueText(first)) ? hr : put_CharSet(first.Get());
        return SetString(call.result, Wide(state_->charset, CP_UTF8));
    case kCodePage:
        if (call.put) {
            long page = 0;
            if (FAILED(hr = VariantLong(*call.value, page))) return hr;
            CPINFO info;
            if (page != 0 && !GetCPInfo(static_cast<UINT>(page), &info)) return call.Fail(E_INVALIDARG, L"unknown code page");
            state_->codePage = static_cast<UINT>(page);
            return S_OK;
        }
        SetLong(call.result, static_cast<long>(state_->codePage ? state_->codePage : GetACP()));
        return S_OK;
    case kStatus:
        if (call.put) {
            if (FAILED(hr = valueText(first))) return hr;
            hr = put_Status(first.Get());
            return FAILED(hr) ? call.Fail(hr, L"Response.Status: not a status line") : hr;
        }
        return SetString(call.result, Wide(std::to_string(state_->status) + " " + state_->reason, CP_UTF8));
    case kAddHeader:
    case kAdd:
        if (a.Count() != 2) return DISP_E_BADPARAMCOUNT;
        if (FAILED(hr = text(0, first)) || FAILED(hr = text(1, second))) return hr;
        hr = call.id == kAddHeader ? AddHeader(first.Get(), second.Get()) : Add(first.Get(), second.Get());
        return FAILED(hr) ? call.Fail(hr, L"Response.AddHeader: not a valid header") : hr;
    case kRedirect:
        if (FAILED(hr = text(0, first))) return hr;
        if (FAILED(hr = Redirect(first.Get()))) return call.Fail(hr, L"Response.Redirect: not a valid address");
        return kPageEnded;
    case kCookies: {
        if (a.Count() < 1) return DISP_E_BADPARAMCOUNT;
        std::wstring name;
        if (FAILED(hr = a.String(0, name))) return hr;
        std::string cookieName = Narrow(name, CP_UTF8);
        if (cookieName.empty() || cookieName.find_first_of("=;, \t\r\n") != std::string::npos)
            return call.Fail(E_INVALIDARG, L"Response.Cookies: not a valid cookie name");
        frame::ComPtr<IWriteCookie> cookie(new (std::nothrow) CookieWriter(state_, cookieName));
        if (!cookie) return E_OUTOFMEMORY;
        if (call.put) {
            std::wstring value;
            if (FAILED(hr = VariantText(*call.value, value))) return hr;
            frame::Bstr b(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())));
            VARIANT none;
            VariantInit(&none);
            return cookie->put_Item(none, b.Get());
        }
        SetDispatch(call.result, cookie.Get());
        return S_OK;
    }
    case kExpires:
        if (call.put) {
            long minutes = 0;
            if (FAILED(hr = VariantLong(*call.value, minutes))) return hr;
            return put_Expires(minutes);
        }
        return S_OK;
    case kExpiresAbsolute:
        if (call.put) {
            frame::Variant date;
            if (FAILED(hr = VariantChangeType(&date, call.value, 0, VT_DATE))) return hr;
            return put_ExpiresAbsolute(V_DATE(&date));
        }
        return S_OK;
    case kCacheControl:
        if (call.put) return FAILED(hr = valueText(first)) ? hr : put_CacheControl(first.Get());
        return SetString(call.result, Wide(HeaderValue("Cache-Control"), CP_UTF8));
    case kIsClientConnected:
        SetBool(call.result, true);
        return S_OK;
    case kAppendToLog:
        if (FAILED(hr = text(0, first))) return hr;
        return AppendToLog(first.Get());
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace tarnwick::host
