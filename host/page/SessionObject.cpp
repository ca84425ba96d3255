#include "host/page/SessionObject.h"

#include <oleauto.h>

#include "frame/ComPtr.h"
#include "host/page/Collections.h"

namespace tarnwick::host {

namespace {

enum : DISPID { kSessionID = 1, kTimeout, kAbandon, kCodePage, kLCID, kContents, kStaticObjects, kLock, kUnLock };

// Value is the default member: Session("a") is Session.Value("a"). The
// collections take their key through their own default member.
const Member kSessionMembers[] = {{L"Value", DISPID_VALUE},
                                  {L"SessionID", kSessionID},
                                  {L"Timeout", kTimeout},
                                  {L"Abandon", kAbandon},
                                  {L"CodePage", kCodePage},
                                  {L"LCID", kLCID},
                                  {L"Contents", kContents, Access::Object},
                                  {L"StaticObjects", kStaticObjects, Access::Object}};

const Member kApplicationMembers[] = {{L"Value", DISPID_VALUE},
                                      {L"Lock", kLock},
                                      {L"UnLock", kUnLock},
                                      {L"Contents", kContents, Access::Object},
                                      {L"StaticObjects", kStaticObjects, Access::Object}};

// A session lives at most a day between requests.
constexpr long kMaxSessionMinutes = 24 * 60;

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

// Obj("name") reads and Obj("name") = value stores: shared by Session and
// Application.
HRESULT ValueCall(VariantDictionary& values, PageKey writer, const Invocation& call) {
    if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
    if (call.put) {
        std::wstring name;
        HRESULT hr = call.args.String(0, name);
        if (SUCCEEDED(hr)) hr = PageEnded(writer) ? kPageHasEnded : values.Set(name, *call.value, writer);
        if (hr == kPageHasEnded) return call.Fail(hr, kPageHasEndedMessage);
        return hr == kApartmentObjectRefused ? call.Fail(hr, kApartmentObjectMessage) : hr;
    }
    return GetStoredValue(values, *call.args.Raw(0), call.result);
}

// Obj.Contents: the collection view of the values.
HRESULT ContentsCall(VariantDictionary& values, IUnknown* owner, PageKey writer, const Invocation& call) {
    if (call.put || call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
    frame::ComPtr<IVariantDictionary> view(new (std::nothrow) ValuesView(values, owner, writer));
    if (!view) return E_OUTOFMEMORY;
    SetDispatch(call.result, view.Get());
    return S_OK;
}

HRESULT EmptyView(IVariantDictionary** out, IUnknown* owner) {
    // Objects declared for a whole site or session are not offered: an
    // empty collection that stays empty.
    static VariantDictionary none;
    if (!out) return E_POINTER;
    *out = new (std::nothrow) ValuesView(none, owner, nullptr);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT SessionObject::get_SessionID(BSTR* id) {
    if (!id) return E_POINTER;
    *id = SysAllocString(Wide(state_->session->id, CP_UTF8).c_str());
    return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT SessionObject::get_Value(BSTR name, VARIANT* value) {
    if (!value) return E_POINTER;
    return state_->session->values.Get(Text(name), value);
}

HRESULT SessionObject::put_Value(BSTR name, VARIANT value) { return state_->session->values.Set(Text(name), value); }

HRESULT SessionObject::get_Timeout(LONG* minutes) {
    if (!minutes) return E_POINTER;
    *minutes = state_->session->timeoutMinutes;
    return S_OK;
}

HRESULT SessionObject::put_Timeout(LONG minutes) {
    if (minutes < 1 || minutes > kMaxSessionMinutes) return E_INVALIDARG;
    state_->session->timeoutMinutes = minutes;
    return S_OK;
}

HRESULT SessionObject::Abandon() {
    // The values stay readable until this page ends.
    state_->session->abandoned = true;
    return S_OK;
}

HRESULT SessionObject::get_CodePage(LONG* page) {
    if (!page) return E_POINTER;
    *page = static_cast<LONG>(state_->codePage ? state_->codePage : GetACP());
    return S_OK;
}

HRESULT SessionObject::put_CodePage(LONG page) {
    CPINFO info;
    if (page != 0 && !GetCPInfo(static_cast<UINT>(page), &info)) return E_INVALIDARG;
    state_->session->codePage = page;
    state_->codePage = static_cast<UINT>(page);
    return S_OK;
}

HRESULT SessionObject::get_LCID(LONG* lcid) {
    if (!lcid) return E_POINTER;
    *lcid = state_->session->lcid ? state_->session->lcid : static_cast<LONG>(GetUserDefaultLCID());
    return S_OK;
}

HRESULT SessionObject::put_LCID(LONG lcid) {
    state_->session->lcid = lcid;
    return S_OK;
}

HRESULT SessionObject::get_StaticObjects(IVariantDictionary** out) { return EmptyView(out, this); }

HRESULT SessionObject::get_Contents(IVariantDictionary** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) ValuesView(state_->session->values, this, nullptr);
    return *out ? S_OK : E_OUTOFMEMORY;
}

const Member* SessionObject::Members(size_t& count) const { return TableOf(kSessionMembers, count); }

HRESULT SessionObject::Call(const Invocation& call) {
    HRESULT hr = S_OK;
    long number = 0;
    switch (call.id) {
    case DISPID_VALUE:
        return ValueCall(state_->session->values, nullptr, call);
    case kContents:
        return ContentsCall(state_->session->values, this, nullptr, call);
    case kStaticObjects: {
        frame::ComPtr<IVariantDictionary> view;
        if (FAILED(hr = get_StaticObjects(view.Put()))) return hr;
        SetDispatch(call.result, view.Get());
        return S_OK;
    }
    case kSessionID:
        return SetString(call.result, Wide(state_->session->id, CP_UTF8));
    case kTimeout:
        if (!call.put) {
            SetLong(call.result, state_->session->timeoutMinutes);
            return S_OK;
        }
        if (FAILED(hr = VariantLong(*call.value, number))) return hr;
        hr = put_Timeout(number);
        return FAILED(hr) ? call.Fail(hr, L"Session.Timeout: minutes from 1 to 1440") : hr;
    case kAbandon:
        return Abandon();
    case kCodePage:
        if (!call.put) {
            LONG page = 0;
            get_CodePage(&page);
            SetLong(call.result, page);
            return S_OK;
        }
        if (FAILED(hr = VariantLong(*call.value, number))) return hr;
        hr = put_CodePage(number);
        return FAILED(hr) ? call.Fail(hr, L"Session.CodePage: unknown code page") : hr;
    case kLCID:
        if (!call.put) {
            LONG lcid = 0;
            get_LCID(&lcid);
            SetLong(call.result, lcid);
            return S_OK;
        }
        if (FAILED(hr = VariantLong(*call.value, number))) return hr;
        return put_LCID(number);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT ApplicationObject::get_Value(BSTR name, VARIANT* value) {
    if (!value) return E_POINTER;
    return state_->application->Get(Text(name), value);
}

HRESULT ApplicationObject::put_Value(BSTR name, VARIANT value) {
    if (PageEnded(state_.get())) return kPageHasEnded;
    return state_->application->Set(Text(name), value, state_.get());
}

// A page's lock ends with the page, so the Application object of a page
// that has ended (kept in Session, say) cannot take it.
HRESULT ApplicationObject::Lock() {
    if (PageEnded(state_.get())) return kPageHasEnded;
    state_->application->Lock(state_.get());
    return S_OK;
}

HRESULT ApplicationObject::UnLock() {
    if (PageEnded(state_.get())) return kPageHasEnded;
    state_->application->Unlock(state_.get());
    return S_OK;
}

HRESULT ApplicationObject::get_StaticObjects(IVariantDictionary** out) { return EmptyView(out, this); }

HRESULT ApplicationObject::get_Contents(IVariantDictionary** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) ValuesView(*state_->application, this, state_.get());
    return *out ? S_OK : E_OUTOFMEMORY;
}

const Member* ApplicationObject::Members(size_t& count) const { return TableOf(kApplicationMembers, count); }

HRESULT ApplicationObject::Call(const Invocation& call) {
    switch (call.id) {
    case DISPID_VALUE:
        return ValueCall(*state_->application, state_.get(), call);
    case kContents:
        return ContentsCall(*state_->application, this, state_.get(), call);
    case kStaticObjects: {
        frame::ComPtr<IVariantDictionary> view;
        HRESULT hr = get_StaticObjects(view.Put());
        if (FAILED(hr)) return hr;
        SetDispatch(call.result, view.Get());
        return S_OK;
    }
    case kLock:
    case kUnLock: {
        HRESULT hr = call.id == kLock ? Lock() : UnLock();
        return hr == kPageHasEnded ? call.Fail(hr, kPageHasEndedMessage) : hr;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace tarnwick::host
