// The host's command line.
#pragma once

#include "host/site/SiteServer.h"

namespace tarnwick::host {

// Prints the usage text to standard error.
void Usage();
// Reads the options; false on a wrong command line.
bool ParseArguments(int argc, wchar_t** argv, HostOptions& options);

}  // namespace tarnwick::host
