// The supervisor: runs the serving process (host/site/Serving.h) as a child
// and starts it again when it ends without being asked to, or stops answering.
#pragma once

#include "host/site/SiteServer.h"

namespace tarnwick::host {

// Runs until Ctrl-C; returns the host's exit code.
int Supervise(const HostOptions& options);

}  // namespace tarnwick::host
