// TarnwickTest.PageHost: the object test scripts create. It owns the five page
// objects, hands out scripting contexts that lead to them, and offers the
// byte, string, file and registry helpers scripts lack under Wine.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "ComObject.h"
#include "HostState.h"
#include "PageStubs.h"
#include "ProbeBinding.h"
#include "Request.h"
#include "Response.h"

namespace pagehost {

// {44DF9F18-09B6-448E-9956-18C750DD6688}
extern const CLSID CLSID_PageHost;
extern const wchar_t kPageHostProgId[];
extern const wchar_t kPageHostClsidText[];

enum class PageObject { Request, Response, Server, Session, Application };

class PageHost final : public ComObject<IDispatch, &IID_IDispatch> {
public:
    PageHost();

    // What a scripting context's property returns: the page object with one
    // more reference, or the injected failure (and null).
    HRESULT GetPageObject(PageObject which, void** out);
    HostState& State() { return *state_; }

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    // `value` is the assigned value, null when the script reads or calls.
    HRESULT CallBody(DISPID id, const VARIANT* value, const Args& args, VARIANT* result);
    HRESULT CallOutput(DISPID id, const Args& args, VARIANT* result);
    HRESULT CallHelper(DISPID id, const Args& args, VARIANT* result, EXCEPINFO* excep);
    HRESULT CallFiles(DISPID id, const Args& args, VARIANT* result);
    HRESULT CallProbe(DISPID id, const Args& args, VARIANT* result);
    // References to one page object beyond the host's own; -1 for an unknown name.
    long HeldRefs(const std::wstring& name) const;

    std::shared_ptr<HostState> state_;
    ComPtr<Request> request_;
    ComPtr<Response> response_;
    ComPtr<Server> server_;
    ComPtr<Session> session_;
    ComPtr<Application> application_;
    ProbeBinding probe_;
};

}  // namespace pagehost
