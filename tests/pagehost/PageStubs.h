// Server, Session and Application: the component only holds and releases
// them, so every member fails with E_NOTIMPL. They are still complete objects
// with the interfaces' real vtables.
#pragma once

#include "host/page/AspInterfaces.h"

#include "ComObject.h"

namespace pagehost {

// A page object that offers scripts no members.
template <class Itf, const IID* OwnIid>
class StubObject : public ComObject<Itf, OwnIid> {
protected:
    const Member* Members(size_t& count) const override {
        count = 0;
        return nullptr;
    }
    HRESULT Call(const Invocation&) override { return DISP_E_MEMBERNOTFOUND; }
};

class Server final : public StubObject<IServer, &IID_IServer> {
public:
    HRESULT STDMETHODCALLTYPE get_ScriptTimeout(LONG* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_ScriptTimeout(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateObject(BSTR, IDispatch** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE HTMLEncode(BSTR, BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE MapPath(BSTR, BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE URLEncode(BSTR, BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE URLPathEncode(BSTR, BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE Execute(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Transfer(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLastError(IASPError** out) override { return stub::NotImpl(out); }
};

class Session final : public StubObject<ISessionObject, &IID_ISessionObject> {
public:
    HRESULT STDMETHODCALLTYPE get_SessionID(BSTR* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Value(BSTR, VARIANT* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_Value(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Value(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Timeout(LONG* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_Timeout(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Abandon() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CodePage(LONG* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_CodePage(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LCID(LONG* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_LCID(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StaticObjects(IVariantDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Contents(IVariantDictionary** out) override { return stub::NotImpl(out); }
};

class Application final : public StubObject<IApplicationObject, &IID_IApplicationObject> {
public:
    HRESULT STDMETHODCALLTYPE get_Value(BSTR, VARIANT* out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE put_Value(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Value(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Lock() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnLock() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StaticObjects(IVariantDictionary** out) override { return stub::NotImpl(out); }
    HRESULT STDMETHODCALLTYPE get_Contents(IVariantDictionary** out) override { return stub::NotImpl(out); }
};

}  // namespace pagehost
