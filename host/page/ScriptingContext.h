// The five page objects of one request, and the scripting context that
// hands them to components in OnStartPage.
#pragma once

#include "host/page/AspInterfaces.h"

#include <memory>

#include "frame/ComPtr.h"
#include "host/page/PageState.h"
#include "host/page/ScriptObject.h"

namespace tarnwick::host {

struct PageObjects {
    frame::ComPtr<IRequest> request;
    frame::ComPtr<IResponse> response;
    frame::ComPtr<IServer> server;
    frame::ComPtr<ISessionObject> session;
    frame::ComPtr<IApplicationObject> application;
    frame::ComPtr<IScriptingContext> context;
};

// Creates them all; false when memory runs out.
bool CreatePageObjects(const std::shared_ptr<PageState>& state, PageObjects& objects);

class ScriptingContext final : public ScriptObject<IScriptingContext, &IID_IScriptingContext> {
public:
    // Takes a reference to each object.
    ScriptingContext(IRequest* request, IResponse* response, IServer* server, ISessionObject* session,
                     IApplicationObject* application);
    ~ScriptingContext() override;

    HRESULT STDMETHODCALLTYPE get_Request(IRequest** out) override { return Hand(request_, out); }
    HRESULT STDMETHODCALLTYPE get_Response(IResponse** out) override { return Hand(response_, out); }
    HRESULT STDMETHODCALLTYPE get_Server(IServer** out) override { return Hand(server_, out); }
    HRESULT STDMETHODCALLTYPE get_Session(ISessionObject** out) override { return Hand(session_, out); }
    HRESULT STDMETHODCALLTYPE get_Application(IApplicationObject** out) override { return Hand(application_, out); }

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    template <class T>
    static HRESULT Hand(T* object, T** out) {
        if (!out) return E_POINTER;
        *out = object;
        object->AddRef();
        return S_OK;
    }

    IRequest* request_;
    IResponse* response_;
    IServer* server_;
    ISessionObject* session_;
    IApplicationObject* application_;
};

}  // namespace tarnwick::host
