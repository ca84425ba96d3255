#include "host/page/ScriptRunner.h"

#include <activscp.h>

#include <new>

#include "frame/ComPtr.h"
#include "host/page/ClassFactories.h"
#include "host/page/UnknownObject.h"

namespace tarnwick::host {

namespace {

using frame::Bstr;
using frame::ComPtr;

// The page objects reach the script as the members of one named item, the
// page's scripting context, whose members are global names
// (SCRIPTITEM_GLOBALMEMBERS); they are not named items of their own. The
// engines resolve such a name to a member of an object, so Session("a"),
// Session("a") = v and Request("x") become calls of that member with
// arguments, which go on to the object's default member. A named item of its
// own is a plain object to them, and Wine's VBScript and JScript refuse
// arguments or an assignment on a plain object.
const wchar_t kContextItemName[] = L"TarnwickScriptingContext";

// The host side of the engine: hands out the named item and records the
// first error the engine reports.
class ScriptSite final : public UnknownObject<IActiveScriptSite, &IID_IActiveScriptSite> {
public:
    ScriptSite(const PageObjects& objects, const PageState& state) : objects_(objects), state_(state) {}

    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        if (lcid) *lcid = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
        if (item) *item = nullptr;
        if (info) *info = nullptr;
        if (!name) return E_INVALIDARG;
        if (lstrcmpiW(name, kContextItemName) != 0) return TYPE_E_ELEMENTNOTFOUND;
        IUnknown* object = objects_.context.Get();
        if (!object) return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_IUNKNOWN) {
            if (!item) return E_POINTER;
            *item = object;
            object->AddRef();
        }
        // The page objects have no type information: only an engine that
        // asked for nothing else is refused.
        if ((mask & SCRIPTINFO_ITYPEINFO) && !(mask & SCRIPTINFO_IUNKNOWN)) return TYPE_E_ELEMENTNOTFOUND;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        if (version) *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        if (!error || failed_) return S_OK;
        EXCEPINFO info = {};
        if (SUCCEEDED(error->GetExceptionInfo(&info))) {
            if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
            const Bstr source(info.bstrSource), description(info.bstrDescription), help(info.bstrHelpFile);
            failure_.code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
            if (description.Get()) failure_.description = description.Get();
        }
        // Ending the page surfaces as an error from Response.End; it is none.
        if (state_.ended) return S_OK;
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &column))) {
            failure_.line = static_cast<long>(line);
            failure_.column = column;
        }
        Bstr text;
        if (SUCCEEDED(error->GetSourceLineText(text.Put())) && text.Get()) failure_.lineText = text.Get();
        failed_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

    bool Failed() const { return failed_; }
    const ScriptFailure& Failure() const { return failure_; }

private:
    const PageObjects& objects_;
    const PageState& state_;
    bool failed_ = false;
    ScriptFailure failure_;
};

bool Fail(ScriptFailure& failure, HRESULT code, const wchar_t* what) {
    failure.code = code;
    failure.description = what;
    return false;
}

}  // namespace

bool RunScript(const CompiledPage& page, UINT codePage, const PageObjects& objects, const PageState& state,
               ScriptFailure& failure) {
    failure = ScriptFailure();
    const wchar_t* progId = page.language == ScriptLanguage::JScript ? L"JScript" : L"VBScript";
    ComPtr<IActiveScript> engine;
    HRESULT hr = CreateByProgId(progId, CLSCTX_INPROC_SERVER, IID_IActiveScript, reinterpret_cast<void**>(engine.Put()));
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING) return Fail(failure, hr, L"the script engine is not installed");
    if (FAILED(hr)) return Fail(failure, hr, L"the script engine cannot be started");
    ComPtr<IActiveScriptParse> parser;
    hr = engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(parser.Put()));
    if (FAILED(hr)) return Fail(failure, hr, L"the script engine cannot parse text");

    ComPtr<ScriptSite> site(new (std::nothrow) ScriptSite(objects, state));
    if (!site) return Fail(failure, E_OUTOFMEMORY, L"out of memory");
    if (FAILED(hr = engine->SetScriptSite(site.Get())) || FAILED(hr = parser->InitNew()))
        return Fail(failure, hr, L"the script engine cannot be set up");
    if (FAILED(hr = engine->AddNamedItem(kContextItemName, SCRIPTITEM_GLOBALMEMBERS)))
        return Fail(failure, hr, L"the page objects cannot be added");
    std::wstring code = Wide(page.script, codePage);
    if (code.empty() && !page.script.empty()) return Fail(failure, E_FAIL, L"the page is not in its code page");
    EXCEPINFO info = {};
    hr = parser->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, &info);
    const Bstr source(info.bstrSource), description(info.bstrDescription), help(info.bstrHelpFile);
    // Queued text runs when the engine starts.
    if (SUCCEEDED(hr) && !site->Failed()) engine->SetScriptState(SCRIPTSTATE_CONNECTED);
    engine->Close();
    if (site->Failed()) {
        failure = site->Failure();
        return false;
    }
    if (FAILED(hr) && hr != static_cast<HRESULT>(SCRIPT_E_REPORTED) && !state.ended)
        return Fail(failure, hr, L"the script could not be parsed");
    return true;
}

}  // namespace tarnwick::host
