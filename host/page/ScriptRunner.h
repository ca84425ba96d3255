// Runs a compiled page on the system's Active Scripting engine (VBScript or
// JScript) with the page objects (Request, Response, ...) as its global names.
#pragma once

#include <windows.h>

#include <string>

#include "host/site/PageSource.h"
#include "host/page/ScriptingContext.h"

namespace tarnwick::host {

struct ScriptFailure {
    long line = -1;             // 0-based line of the generated script, -1 unknown
    long column = 0;
    HRESULT code = S_OK;
    std::wstring description;
    std::wstring lineText;      // the failing line as the engine saw it
};

// False on a compile or run-time error, described in failure. A page that
// ended itself (Response.End, Redirect, a component ending it) ran fine.
bool RunScript(const CompiledPage& page, UINT codePage, const PageObjects& objects, const PageState& state,
               ScriptFailure& failure);

}  // namespace tarnwick::host
