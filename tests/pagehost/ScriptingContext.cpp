#include "ScriptingContext.h"

namespace pagehost {

namespace {

const Member kMembers[] = {
    {L"Request", static_cast<DISPID>(PageObject::Request) + 1, Access::Get},
    {L"Response", static_cast<DISPID>(PageObject::Response) + 1, Access::Get},
    {L"Server", static_cast<DISPID>(PageObject::Server) + 1, Access::Get},
    {L"Session", static_cast<DISPID>(PageObject::Session) + 1, Access::Get},
    {L"Application", static_cast<DISPID>(PageObject::Application) + 1, Access::Get},
};

}  // namespace

ScriptingContext::ScriptingContext(PageHost* host) : host_(host) {
    host_->AddRef();
    ++host_->State().liveContexts;
}

ScriptingContext::~ScriptingContext() {
    --host_->State().liveContexts;
    host_->Release();
}

HRESULT ScriptingContext::get_Request(IRequest** out) {
    return host_->GetPageObject(PageObject::Request, reinterpret_cast<void**>(out));
}

HRESULT ScriptingContext::get_Response(IResponse** out) {
    return host_->GetPageObject(PageObject::Response, reinterpret_cast<void**>(out));
}

HRESULT ScriptingContext::get_Server(IServer** out) {
    return host_->GetPageObject(PageObject::Server, reinterpret_cast<void**>(out));
}

HRESULT ScriptingContext::get_Session(ISessionObject** out) {
    return host_->GetPageObject(PageObject::Session, reinterpret_cast<void**>(out));
}

HRESULT ScriptingContext::get_Application(IApplicationObject** out) {
    return host_->GetPageObject(PageObject::Application, reinterpret_cast<void**>(out));
}

const Member* ScriptingContext::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT ScriptingContext::Call(const Invocation& call) {
    if (call.id < 1 || call.id > static_cast<DISPID>(PageObject::Application) + 1) return DISP_E_MEMBERNOTFOUND;
    void* object = nullptr;
    HRESULT hr = host_->GetPageObject(static_cast<PageObject>(call.id - 1), &object);
    if (FAILED(hr)) return hr;
    // Every page object is a single-inheritance IDispatch descendant.
    V_VT(call.result) = VT_DISPATCH;
    V_DISPATCH(call.result) = static_cast<IDispatch*>(object);
    return S_OK;
}

}  // namespace pagehost
