// tarnwick-host: serves a folder of classic server pages and static files
// over the platform's HTTP Server API.
//
//   tarnwick-host --site DIR [--port 8080] [--bind 127.0.0.1] [--max-body BYTES] [--max-form BYTES]
//                 [--threads N] [--debug] [--direct]
//
// The program runs twice: as the supervisor (host/Supervisor.cpp) and, started
// by it with a flag of its own, as the serving process (host/site/Serving.cpp).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "host/Options.h"
#include "host/Supervisor.h"
#include "host/site/Serving.h"

using namespace tarnwick::host;

int wmain(int argc, wchar_t** argv) {
    // The serving process is this program again, with a flag of its own.
    bool worker = argc > 1 && wcscmp(argv[argc - 1], kWorkerFlag) == 0;
    if (worker) --argc;
    HostOptions options;
    if (!ParseArguments(argc, argv, options)) {
        Usage();
        return 2;
    }
    DWORD attributes = GetFileAttributesW(options.site.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(stderr, "tarnwick-host: the site folder does not exist\n");
        return 2;
    }
    if (!worker) return Supervise(options);
    return Serve(options);
}
