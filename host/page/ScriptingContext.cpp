#include "host/page/ScriptingContext.h"

#include "host/page/RequestObject.h"
#include "host/page/ResponseObject.h"
#include "host/page/ServerObject.h"
#include "host/page/SessionObject.h"

namespace tarnwick::host {

namespace {

enum : DISPID { kRequest = 1, kResponse, kServer, kSession, kApplication };

// Context.Session("a") reaches the Session's default member; the script
// engines call the page's global names Session, Request, ... this way too.
const Member kMembers[] = {{L"Request", kRequest, Access::Object},
                           {L"Response", kResponse, Access::Object},
                           {L"Server", kServer, Access::Object},
                           {L"Session", kSession, Access::Object},
                           {L"Application", kApplication, Access::Object}};

}  // namespace

bool CreatePageObjects(const std::shared_ptr<PageState>& state, PageObjects& objects) {
    objects.request = frame::ComPtr<IRequest>(new (std::nothrow) RequestObject(state));
    objects.response = frame::ComPtr<IResponse>(new (std::nothrow) ResponseObject(state));
    objects.server = frame::ComPtr<IServer>(new (std::nothrow) ServerObject(state));
    objects.session = frame::ComPtr<ISessionObject>(new (std::nothrow) SessionObject(state));
    objects.application = frame::ComPtr<IApplicationObject>(new (std::nothrow) ApplicationObject(state));
    if (!objects.request || !objects.response || !objects.server || !objects.session || !objects.application)
        return false;
    objects.context = frame::ComPtr<IScriptingContext>(
        new (std::nothrow) ScriptingContext(objects.request.Get(), objects.response.Get(), objects.server.Get(),
                                            objects.session.Get(), objects.application.Get()));
    return static_cast<bool>(objects.context);
}

ScriptingContext::ScriptingContext(IRequest* request, IResponse* response, IServer* server,
                                   ISessionObject* session, IApplicationObject* application)
    : request_(request), response_(response), server_(server), session_(session), application_(application) {
    request_->AddRef();
    response_->AddRef();
    server_->AddRef();
    session_->AddRef();
    application_->AddRef();
}

ScriptingContext::~ScriptingContext() {
    application_->Release();
    session_->Release();
    server_->Release();
    response_->Release();
    request_->Release();
}

const Member* ScriptingContext::Members(size_t& count) const { return TableOf(kMembers, count); }

HRESULT ScriptingContext::Call(const Invocation& call) {
    if (call.put) return DISP_E_MEMBERNOTFOUND;
    IDispatch* object = call.id == kRequest       ? static_cast<IDispatch*>(request_)
                        : call.id == kResponse    ? static_cast<IDispatch*>(response_)
                        : call.id == kServer      ? static_cast<IDispatch*>(server_)
                        : call.id == kSession     ? static_cast<IDispatch*>(session_)
                        : call.id == kApplication ? static_cast<IDispatch*>(application_)
                                                  : nullptr;
    if (!object) return DISP_E_MEMBERNOTFOUND;
    SetDispatch(call.result, object);
    return S_OK;
}

}  // namespace tarnwick::host
