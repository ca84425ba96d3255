// A stand-in for a page-bound component, driven from scripts: it binds to a
// scripting context through the interfaces' vtables exactly as a component
// does, so the self-test can prove the page objects and the reference counts
// work without Tarnwick.dll.
#pragma once

#include <string>

#include "host/page/AspInterfaces.h"
#include "Variants.h"

namespace pagehost {

class ProbeBinding {
public:
    // QueryInterface for the scripting context, then Request, Response, Server,
    // Session and Application in that order; on a failure everything obtained
    // is released and the failure returned.
    HRESULT Bind(IUnknown* context);
    void Unbind();
    // Response.Write of a string variant.
    HRESULT Write(const std::wstring& text);
    // Request.TotalBytes, then one BinaryRead of that many bytes: the bytes read.
    HRESULT ReadAll(std::string& bytes);

private:
    ComPtr<IRequest> request_;
    ComPtr<IResponse> response_;
    ComPtr<IServer> server_;
    ComPtr<ISessionObject> session_;
    ComPtr<IApplicationObject> application_;
};

}  // namespace pagehost
