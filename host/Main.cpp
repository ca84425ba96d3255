// tarnwick-host: serves a folder of classic server pages and static files
// over the platform's HTTP Server API.
//
//   tarnwick-host --site DIR [--port 8080] [--bind 127.0.0.1] [--max-body BYTES] [--debug]
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "host/Automation.h"
#include "host/BodyRelay.h"
#include "host/HttpQueue.h"
#include "host/SiteServer.h"

using namespace tarnwick::host;

namespace {

HttpQueue* g_queue = nullptr;

constexpr const wchar_t* kWorkerFlag = L"--serving-process";
// More crashes than this within the window end the supervisor.
constexpr int kMaxCrashes = 10;
constexpr ULONGLONG kCrashWindowMs = 60 * 1000;

BOOL WINAPI OnConsoleControl(DWORD) {
    if (g_queue) g_queue->Shutdown();
    return TRUE;
}

void Usage() {
    fprintf(stderr,
            "usage: tarnwick-host --site DIR [--port N] [--bind ADDRESS] [--max-body BYTES] [--debug] [--direct]\n"
            "  --site DIR        the folder served as the site root (required)\n"
            "  --port N          TCP port, default 8080\n"
            "  --bind ADDRESS    address to listen on, default 127.0.0.1 (loopback only);\n"
            "                    0.0.0.0 listens on every address\n"
            "  --max-body BYTES  largest request body accepted, default 67108864 (64 MiB);\n"
            "                    a K or M suffix multiplies by 1024 or 1048576\n"
            "  --debug           error pages show the failing file, line and message\n"
            "  --direct          under Wine too, let the HTTP Server API take connections\n"
            "                    itself (no relay: bodies over about 128 KiB are lost)\n");
}

bool ParseSize(const wchar_t* text, size_t& out) {
    wchar_t* end = nullptr;
    unsigned long long n = wcstoull(text, &end, 10);
    if (end == text) return false;
    if (*end == L'K' || *end == L'k') n <<= 10, ++end;
    else if (*end == L'M' || *end == L'm') n <<= 20, ++end;
    if (*end != 0 || n == 0 || n > (1ULL << 31)) return false;
    out = static_cast<size_t>(n);
    return true;
}

bool ParseArguments(int argc, wchar_t** argv, HostOptions& options) {
    std::wstring site;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--site" && hasValue) {
            site = argv[++i];
        } else if (arg == L"--port" && hasValue) {
            wchar_t* end = nullptr;
            unsigned long port = wcstoul(argv[++i], &end, 10);
            if (*end != 0 || port == 0 || port > 65535) return false;
            options.port = static_cast<unsigned short>(port);
        } else if (arg == L"--bind" && hasValue) {
            options.bind = Narrow(argv[++i], CP_UTF8);
        } else if (arg == L"--max-body" && hasValue) {
            if (!ParseSize(argv[++i], options.maxBody)) return false;
        } else if (arg == L"--debug") {
            options.debug = true;
        } else if (arg == L"--direct") {
            options.direct = true;
        } else {
            return false;
        }
    }
    if (site.empty()) return false;
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(site.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    options.site = full;
    while (options.site.size() > 3 && (options.site.back() == L'\\' || options.site.back() == L'/'))
        options.site.pop_back();
    return true;
}

// The URL prefix the Server API listens on for an address.
std::wstring UrlPrefix(const std::string& bind, unsigned short port) {
    std::string host = bind;
    if (bind == "0.0.0.0" || bind == "*" || bind == "::") host = "+";
    else if (bind.find(':') != std::string::npos) host = "[" + bind + "]";
    return Wide("http://" + host + ":" + std::to_string(port) + "/", CP_UTF8);
}

// A crash ends the serving process at once, with the exception's code (no
// debugger, no dialog), so that the supervisor can start it again.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    fprintf(stderr, "tarnwick-host: the server crashed (exception 0x%08lX)\n", static_cast<unsigned long>(code));
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code ? code : 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

volatile LONG g_stopping = 0;

BOOL WINAPI OnSupervisorControl(DWORD) {
    // The serving process gets the same event and stops by itself.
    InterlockedExchange(&g_stopping, 1);
    return TRUE;
}

// Runs the server as a child process and starts it again when it crashes: a
// page can bring down its script engine (some engines fault on some
// scripts), and one failing page must not stop the site. A child that exits
// by itself (stopped, or unable to start) ends the supervisor with its code.
int Supervise() {
    std::wstring commandLine = std::wstring(GetCommandLineW()) + L" " + kWorkerFlag;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job) {
        // The server never outlives its supervisor.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    SetConsoleCtrlHandler(OnSupervisorControl, TRUE);
    ULONGLONG windowStart = GetTickCount64();
    int crashes = 0;
    for (;;) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                            &startup, &process)) {
            fprintf(stderr, "tarnwick-host: cannot start the server process (error %lu)\n", GetLastError());
            return 1;
        }
        if (job) AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        if (code <= 2 || g_stopping) return static_cast<int>(code);
        // Crashing again and again (a broken installation) is given up.
        ULONGLONG now = GetTickCount64();
        if (now - windowStart > kCrashWindowMs) {
            windowStart = now;
            crashes = 0;
        }
        if (++crashes > kMaxCrashes) {
            fprintf(stderr, "tarnwick-host: the server keeps crashing; giving up\n");
            return 1;
        }
        printf("tarnwick-host: the server stopped unexpectedly (0x%08lX); starting it again\n",
               static_cast<unsigned long>(code));
        fflush(stdout);
    }
}

}  // namespace

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
    if (!worker) return Supervise();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        fprintf(stderr, "tarnwick-host: COM cannot start\n");
        return 1;
    }
    int rc = 0;
    {
        HttpQueue queue;
        BodyRelay relay;
        std::string error;
        // Under Wine the relay takes the public port and the Server API an
        // internal loopback one (see BodyRelay.h).
        const bool relayed = RunningUnderWine() && !options.direct;
        unsigned short apiPort = relayed ? FreeLoopbackPort() : options.port;
        std::string apiAddress = relayed ? "127.0.0.1" : options.bind;
        if (relayed && apiPort == 0) {
            fprintf(stderr, "tarnwick-host: no free loopback port for the Server API\n");
            rc = 1;
        } else if (!queue.Open(UrlPrefix(apiAddress, apiPort), error) ||
                   (relayed && !relay.Start(options.bind, options.port, apiPort, options.maxBody, error))) {
            fprintf(stderr, "tarnwick-host: %s\n", error.c_str());
            rc = 1;
        } else {
            g_queue = &queue;
            SetConsoleCtrlHandler(OnConsoleControl, TRUE);
            printf("tarnwick-host: serving %s at http://%s:%u/\n", Narrow(options.site, CP_UTF8).c_str(),
                   options.bind.c_str(), options.port);
            fflush(stdout);
            SiteServer server(options);
            HttpRequest request;
            while (queue.Receive(request, options.maxBody)) {
                if (relayed) relay.Attach(request);
                HttpResponse response = server.Handle(request);
                if (relayed) relay.Detach(request, response);
                queue.Send(request, response);
            }
            g_queue = nullptr;
        }
    }
    CoUninitialize();
    return rc;
}
