// The scripting context a page passes to OnStartPage. Each one keeps its host
// alive and asks it for the page objects, so a context's own lifetime never
// shows up in the page objects' reference counts.
#pragma once

#include "host/page/AspInterfaces.h"

#include "ComObject.h"
#include "PageHost.h"

namespace pagehost {

class ScriptingContext final : public ComObject<IScriptingContext, &IID_IScriptingContext> {
public:
    explicit ScriptingContext(PageHost* host);

    HRESULT STDMETHODCALLTYPE get_Request(IRequest** out) override;
    HRESULT STDMETHODCALLTYPE get_Response(IResponse** out) override;
    HRESULT STDMETHODCALLTYPE get_Server(IServer** out) override;
    HRESULT STDMETHODCALLTYPE get_Session(ISessionObject** out) override;
    HRESULT STDMETHODCALLTYPE get_Application(IApplicationObject** out) override;

protected:
    ~ScriptingContext() override;
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    PageHost* host_;  // one reference, released by the destructor
};

}  // namespace pagehost
