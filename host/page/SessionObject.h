// The page's Session and Application objects: named values kept across
// requests, per browser (Session) or for the whole site (Application).
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "host/page/PageState.h"
#include "host/page/ScriptObject.h"

namespace tarnwick::host {

class SessionObject final : public ScriptObject<ISessionObject, &IID_ISessionObject> {
public:
    explicit SessionObject(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_SessionID(BSTR* id) override;
    HRESULT STDMETHODCALLTYPE get_Value(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Value(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Value(BSTR name, VARIANT value) override { return put_Value(name, value); }
    HRESULT STDMETHODCALLTYPE get_Timeout(LONG* minutes) override;
    HRESULT STDMETHODCALLTYPE put_Timeout(LONG minutes) override;
    HRESULT STDMETHODCALLTYPE Abandon() override;
    HRESULT STDMETHODCALLTYPE get_CodePage(LONG* page) override;
    HRESULT STDMETHODCALLTYPE put_CodePage(LONG page) override;
    HRESULT STDMETHODCALLTYPE get_LCID(LONG* lcid) override;
    HRESULT STDMETHODCALLTYPE put_LCID(LONG lcid) override;
    HRESULT STDMETHODCALLTYPE get_StaticObjects(IVariantDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Contents(IVariantDictionary** out) override;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    std::shared_ptr<PageState> state_;
};

class ApplicationObject final : public ScriptObject<IApplicationObject, &IID_IApplicationObject> {
public:
    explicit ApplicationObject(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE get_Value(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Value(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Value(BSTR name, VARIANT value) override { return put_Value(name, value); }
    // Other pages' writes wait until this page unlocks, or ends.
    HRESULT STDMETHODCALLTYPE Lock() override;
    HRESULT STDMETHODCALLTYPE UnLock() override;
    HRESULT STDMETHODCALLTYPE get_StaticObjects(IVariantDictionary** out) override;
    HRESULT STDMETHODCALLTYPE get_Contents(IVariantDictionary** out) override;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    std::shared_ptr<PageState> state_;
};

}  // namespace tarnwick::host
