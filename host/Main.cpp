// tarnwick-host: serves a folder of classic server pages and static files
// over the platform's HTTP Server API.
//
//   tarnwick-host --site DIR [--port 8080] [--bind 127.0.0.1] [--max-body BYTES] [--max-form BYTES] [--threads N] [--debug]
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "host/Automation.h"
#include "host/BodyRelay.h"
#include "host/HttpQueue.h"
#include "host/Sessions.h"
#include "host/SiteServer.h"
#include "host/site/PagePool.h"

using namespace tarnwick::host;

namespace {

HttpQueue* g_queue = nullptr;
volatile LONG g_stopAsked = 0;

constexpr const wchar_t* kWorkerFlag = L"--serving-process";
// The relay's secret, from the supervisor to each serving process it starts.
constexpr const wchar_t* kSecretVariable = L"TARNWICK_HOST_SECRET";
// Exit codes of the serving process that the supervisor reads (a process
// killed from outside ends with 0 under Wine).
constexpr int kExitStopped = 64;       // asked to stop (Ctrl-C, console closed)
constexpr int kExitCannotStart = 65;   // could not start serving (address in use, ...)
// The pause before the server is started again doubles from the first to
// the last while it keeps failing, so that a broken installation does not spin.
constexpr DWORD kFirstRestartPauseMs = 500;
constexpr DWORD kMaxRestartPauseMs = 30000;
// A server that ran this long was well: the next pause is the first again.
constexpr ULONGLONG kStableRunMs = 60 * 1000;
// Under the relay the supervisor asks the server this often whether it
// answers: Wine's HTTP service can hang for good on a request it cannot take.
constexpr unsigned long kProbeIntervalMs = 5000;
constexpr const wchar_t* kProbeIntervalVariable = L"TARNWICK_HOST_PROBE_INTERVAL_MS";
// Probes unanswered in a row before the server counts as hung.
constexpr int kMaxFailedProbes = 2;
// A server whose relay does not listen yet has this long to start: Wine's
// HTTP service takes up to half a minute to come up in a fresh prefix.
constexpr ULONGLONG kStartGraceMs = 60 * 1000;
// How long a server asked to stop has before it is ended.
constexpr DWORD kStopWaitMs = 5000;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_stopAsked, 1);
    if (RunningUnderWine()) {
        // Wine lacks HttpShutdownRequestQueue (calling it aborts): the
        // process just ends, and a page running then gets no answer.
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), kExitStopped);
    }
    if (g_queue) g_queue->Shutdown();
    return TRUE;
}

void Usage() {
    fprintf(stderr,
            "usage: tarnwick-host --site DIR [--port N] [--bind ADDRESS] [--max-body BYTES] [--max-form BYTES]\n"
            "                     [--threads N] [--debug] [--direct]\n"
            "  --site DIR        the folder served as the site root (required)\n"
            "  --port N          TCP port, default 8080\n"
            "  --bind ADDRESS    address to listen on, default 127.0.0.1 (loopback only);\n"
            "                    0.0.0.0 listens on every address\n"
            "  --max-body BYTES  largest request body accepted, default 67108864 (64 MiB);\n"
            "                    a K or M suffix multiplies by 1024 or 1048576\n"
            "  --max-form BYTES  largest url-encoded form body a page accepts (413 above),\n"
            "                    default 1048576 (1 MiB); K and M as for --max-body\n"
            "  --threads N       page threads (pages run side by side; one session's requests\n"
            "                    one at a time), default two per processor and at least 4\n"
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
        } else if (arg == L"--max-form" && hasValue) {
            if (!ParseSize(argv[++i], options.maxForm)) return false;
        } else if (arg == L"--threads" && hasValue) {
            wchar_t* end = nullptr;
            unsigned long threads = wcstoul(argv[++i], &end, 10);
            if (*end != 0 || threads == 0 || threads > 256) return false;
            options.threads = static_cast<unsigned>(threads);
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

HANDLE g_stopEvent = nullptr;

BOOL WINAPI OnSupervisorControl(DWORD) {
    // The serving process gets the same event and stops by itself.
    SetEvent(g_stopEvent);
    return TRUE;
}

// Asks the server, through the address it serves, whether it answers: the
// relay passes the probe to the Server API and the server answers 204 (the
// relay answers for it while a page runs). Unreachable while the relay does
// not listen (yet); Unanswered when it does but nothing answers in time.
enum class ProbeResult { Answered, Unanswered, Unreachable };

ProbeResult Probe(const HostOptions& options, const std::string& secret, DWORD limitMs) {
    std::string host = options.bind;
    if (host == "0.0.0.0" || host == "*") host = "127.0.0.1";
    else if (host == "::") host = "::1";
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(options.port).c_str(), &hints, &found) != 0 || !found)
        return ProbeResult::Unreachable;
    SOCKET s = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    bool ok = s != INVALID_SOCKET;
    if (ok) {
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
        ok = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
    }
    freeaddrinfo(found);
    const bool reached = ok;
    if (ok) {
        std::string request = "GET / HTTP/1.1\r\nHost: localhost\r\n" + std::string(BodyRelay::kProbeHeader) + ": " +
                              secret + "\r\nConnection: close\r\n\r\n";
        ok = send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
        std::string reply;
        char buffer[256];
        while (ok && reply.find("\r\n") == std::string::npos && reply.size() < sizeof buffer) {
            int n = recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            reply.append(buffer, static_cast<size_t>(n));
        }
        ok = reply.compare(0, 13, "HTTP/1.1 204 ") == 0;
    }
    if (s != INVALID_SOCKET) closesocket(s);
    return ok ? ProbeResult::Answered : reached ? ProbeResult::Unanswered : ProbeResult::Unreachable;
}

// Runs the server as a child process and starts it again when it ends
// without being asked to: a page can bring down its script engine (some
// engines fault on some scripts), a server can be killed, and one failing
// page must not stop the site. Under the relay it also starts the server
// again when it stops answering. Only a first server that cannot start
// (a wrong address, a port in use) ends the supervisor.
int Supervise(const HostOptions& options) {
    // One secret for the host's run, handed to each serving process.
    const std::string secret = NewSessionId();
    SetEnvironmentVariableW(kSecretVariable, Wide(secret, CP_UTF8).c_str());
    std::wstring commandLine = std::wstring(GetCommandLineW()) + L" " + kWorkerFlag;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job) {
        // The server never outlives its supervisor.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnSupervisorControl, TRUE);
    WSADATA winsock;
    const bool probing = RunningUnderWine() && !options.direct && WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
    const DWORD probeInterval = Tunable(kProbeIntervalVariable, kProbeIntervalMs);
    // A probe may wait for one exchange with the Server API before its own.
    const DWORD probeLimit = 3 * Tunable(kApiAnswerVariable, kApiAnswerMs);
    DWORD pause = kFirstRestartPauseMs;
    for (bool first = true;; first = false) {
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
        const ULONGLONG started = GetTickCount64();

        bool answered = false;
        bool hung = false;
        int failedProbes = 0;
        HANDLE waits[2] = {process.hProcess, g_stopEvent};
        for (;;) {
            DWORD woke = WaitForMultipleObjects(2, waits, FALSE, probing ? probeInterval : INFINITE);
            if (woke == WAIT_OBJECT_0) break;
            if (woke == WAIT_OBJECT_0 + 1) {
                if (WaitForSingleObject(process.hProcess, kStopWaitMs) != WAIT_OBJECT_0)
                    TerminateProcess(process.hProcess, kExitStopped);
                CloseHandle(process.hProcess);
                return 0;
            }
            // A relay that does not listen yet is a server still starting;
            // one that listens has its Server API ready, and must answer.
            const ProbeResult probe = Probe(options, secret, probeLimit);
            if (probe == ProbeResult::Answered) {
                answered = true;
                failedProbes = 0;
            } else if ((probe == ProbeResult::Unanswered || answered || GetTickCount64() - started > kStartGraceMs) &&
                       ++failedProbes >= kMaxFailedProbes) {
                hung = true;
                break;
            }
        }
        if (hung) {
            printf("tarnwick-host: the server does not answer; ending it\n");
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, kStopWaitMs);
            // Mostly it is Wine's HTTP service that hangs (on a request it
            // cannot take): the next server starts it afresh.
            if (EndWineHttpService()) printf("tarnwick-host: ended Wine's HTTP service too, to start it afresh\n");
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        if (WaitForSingleObject(g_stopEvent, 0) == WAIT_OBJECT_0 || code == kExitStopped) return 0;
        if (first && code == kExitCannotStart) return 1;
        if (GetTickCount64() - started >= kStableRunMs) pause = kFirstRestartPauseMs;
        printf("tarnwick-host: the server stopped (0x%08lX); starting it again in %lu ms\n",
               static_cast<unsigned long>(code), static_cast<unsigned long>(pause));
        fflush(stdout);
        if (WaitForSingleObject(g_stopEvent, pause) == WAIT_OBJECT_0) return 0;
        pause = std::min(pause * 2, kMaxRestartPauseMs);
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
    if (!worker) return Supervise(options);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        fprintf(stderr, "tarnwick-host: COM cannot start\n");
        return kExitCannotStart;
    }
    // The relay's secret: the supervisor's, or one of this process's own.
    // Pages' child processes do not inherit it.
    wchar_t secretText[64] = L"";
    DWORD secretLength = GetEnvironmentVariableW(kSecretVariable, secretText, 64);
    std::string secret = secretLength > 0 && secretLength < 64 ? Narrow(secretText, CP_UTF8) : NewSessionId();
    SetEnvironmentVariableW(kSecretVariable, nullptr);
    int rc = 1;
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
            rc = kExitCannotStart;
        } else if (!queue.Open(UrlPrefix(apiAddress, apiPort), error) ||
                   (relayed && !relay.Start(options.bind, options.port, apiPort, options.maxBody, secret, error))) {
            fprintf(stderr, "tarnwick-host: %s\n", error.c_str());
            rc = kExitCannotStart;
        } else {
            // Wine's Server API listens on every address for the internal
            // port: only what the relay marks is served.
            if (relayed) queue.RequireHeader(BodyRelay::kSecretHeader, secret);
            g_queue = &queue;
            SetConsoleCtrlHandler(OnConsoleControl, TRUE);
            printf("tarnwick-host: serving %s at http://%s:%u/\n", Narrow(options.site, CP_UTF8).c_str(),
                   options.bind.c_str(), options.port);
            if (relayed)
                printf("tarnwick-host: the HTTP Server API is behind the relay, on internal port %u "
                       "(Wine listens on it on every address; it serves only the relay)\n", apiPort);
            else if (RunningUnderWine() && options.bind != "0.0.0.0" && options.bind != "*")
                printf("tarnwick-host: note: under Wine the HTTP Server API listens on every address, "
                       "whatever --bind says\n");
            fflush(stdout);
            SiteServer server(options);
            PagePool pool;
            if (!pool.Start(options.threads ? options.threads : DefaultPageThreads())) {
                fprintf(stderr, "tarnwick-host: cannot start the page threads\n");
                rc = kExitCannotStart;
            }
            for (;;) {
                auto request = std::make_shared<HttpRequest>();
                if (rc == kExitCannotStart || !queue.Receive(*request, options.maxBody)) break;
                if (relayed && relay.Attach(*request)) {
                    // The supervisor's probe: the server answers; nothing runs.
                    HttpResponse answer;
                    answer.status = 204;
                    answer.reason = ReasonPhrase(204);
                    queue.Send(*request, answer);
                    continue;
                }
                // One session's requests in turn; everything else side by side.
                pool.Post(SessionCookieOf(*request), [&server, &relay, &queue, relayed, request] {
                    HttpResponse response = server.Handle(*request);
                    if (relayed) relay.Detach(*request, response);
                    queue.Send(*request, response);
                });
            }
            pool.WaitIdle();
            g_queue = nullptr;
        }
    }
    CoUninitialize();
    return g_stopAsked ? kExitStopped : rc;
}
