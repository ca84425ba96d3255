// The page objects an object holds between OnStartPage and OnEndPage.
#pragma once

#include <windows.h>
#include <asptlb.h>

#include <string>

#include "frame/ComPtr.h"

namespace tarnwick::frame {

class PageBinding {
public:
    ~PageBinding() { ReleaseAtDestruction(); }

    // The common part of OnStartPage: asks piUnk for the scripting context
    // and takes Request, Response, Server, Session and Application from it.
    // An earlier binding is released first. On failure nothing stays held;
    // the context itself is released before Bind returns.
    HRESULT Bind(IUnknown* piUnk);
    // OnEndPage: releases Request, Response, Server, Session, Application,
    // in the order they were taken; destruction releases them the other way
    // round, the last taken first, as objects are torn down.
    void Unbind();

    IRequest* Request() const { return request_.Get(); }
    IResponse* Response() const { return response_.Get(); }

    // Drops the Request object alone (after a failed read of the body).
    void ReleaseRequest() { request_.Reset(); }

    // Writes narrow text into the page through Response.Write.
    HRESULT WriteText(const std::string& text);

private:
    void ReleaseAtDestruction();

    ComPtr<IRequest> request_;
    ComPtr<IResponse> response_;
    ComPtr<IServer> server_;
    ComPtr<ISessionObject> session_;
    ComPtr<IApplicationObject> application_;
};

}  // namespace tarnwick::frame
