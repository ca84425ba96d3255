// The serving process: the supervisor (host/Supervisor.cpp) starts this
// program again with kWorkerFlag, and that process serves the site: the
// relay in front under Wine, the Server API's queue, the page threads.
#pragma once

#include "host/site/SiteServer.h"

namespace tarnwick::host {

constexpr const wchar_t* kWorkerFlag = L"--serving-process";
// The relay's secret, from the supervisor to each serving process it starts.
constexpr const wchar_t* kSecretVariable = L"TARNWICK_HOST_SECRET";
// Exit codes of the serving process that the supervisor reads (a process
// killed from outside ends with 0 under Wine).
constexpr int kExitStopped = 64;       // asked to stop (Ctrl-C, console closed)
constexpr int kExitCannotStart = 65;   // could not start serving (address in use, ...)

// Serves until asked to stop; returns the process's exit code.
int Serve(const HostOptions& options);

}  // namespace tarnwick::host
