#include "host/Supervisor.h"

#include <winsock2.h>
#include <windows.h>

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/net/BodyRelay.h"
#include "host/net/HttpQueue.h"
#include "host/net/Owned.h"
#include "host/net/Secrets.h"
#include "host/page/Automation.h"
#include "host/site/Serving.h"

namespace tarnwick::host {

namespace {

// The pause before the server is started again doubles from the first to
// the last while it keeps failing, so that a broken installation does not spin.
constexpr DWORD kFirstRestartPauseMs = 500;
constexpr DWORD kMaxRestartPauseMs = 30000;
// Attempts at starting a server process, and the pause between them.
constexpr int kStartAttempts = 5;
constexpr DWORD kStartRetryPauseMs = 1000;
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

// One probe on a connection: whether the answer was 204, and whether the
// connection stays open for the next probe.
bool ProbeOn(SOCKET s, const std::string& secret, bool& keep) {
    const std::string request = "GET / HTTP/1.1\r\nHost: localhost\r\n" + std::string(BodyRelay::kProbeHeader) +
                                ": " + secret + "\r\n\r\n";
    keep = false;
    if (send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) return false;
    std::string reply;
    char buffer[512];
    while (reply.find("\r\n\r\n") == std::string::npos && reply.size() < 4096) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        reply.append(buffer, static_cast<size_t>(n));
    }
    const size_t headEnd = reply.find("\r\n\r\n");
    keep = headEnd != std::string::npos && headEnd + 4 == reply.size() &&
           reply.find("\r\nContent-Length: 0\r\n") != std::string::npos &&
           reply.find("\r\nConnection: close\r\n") == std::string::npos;
    return reply.compare(0, 13, "HTTP/1.1 204 ") == 0;
}

// The probe keeps its connection open between probes, so that a client
// holding every connection its address may have cannot keep it out.
ProbeResult Probe(const HostOptions& options, const std::string& secret, DWORD limitMs, OwnedSocket& line) {
    bool keep = false;
    if (line) {
        const bool ok = ProbeOn(line.get(), secret, keep);
        if (!keep) line.reset();
        if (ok) return ProbeResult::Answered;
    }
    std::string host = options.bind;
    if (host == "0.0.0.0" || host == "*") host = "127.0.0.1";
    else if (host == "::") host = "::1";
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    OwnedAddrInfo found;
    if (getaddrinfo(host.c_str(), std::to_string(options.port).c_str(), &hints, found.put()) != 0 || !found)
        return ProbeResult::Unreachable;
    OwnedSocket s{socket(found.get()->ai_family, SOCK_STREAM, IPPROTO_TCP)};
    bool ok = static_cast<bool>(s);
    if (ok) {
        setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
        setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
        ok = connect(s.get(), found.get()->ai_addr, static_cast<int>(found.get()->ai_addrlen)) == 0;
    }
    found.reset();
    if (!ok) return ProbeResult::Unreachable;
    ok = ProbeOn(s.get(), secret, keep);
    if (ok && keep) line = std::move(s);
    return ok ? ProbeResult::Answered : ProbeResult::Unanswered;
}

}  // namespace

// Runs the server as a child process and starts it again when it ends
// without being asked to: a page can bring down its script engine (some
// engines fault on some scripts), a server can be killed, and one failing
// page must not stop the site. Under the relay it also starts the server
// again when it stops answering. Only a first server that cannot start
// (a wrong address, a port in use) ends the supervisor.
int Supervise(const HostOptions& options) {
    // One secret for the host's run, handed to each serving process.
    const std::string secret = NewSecret();
    SetEnvironmentVariableW(kSecretVariable, Wide(secret, CP_UTF8).c_str());
    std::wstring commandLine = std::wstring(GetCommandLineW()) + L" " + kWorkerFlag;
    OwnedHandle job{CreateJobObjectW(nullptr, nullptr)};
    if (job) {
        // The server never outlives its supervisor.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnSupervisorControl, TRUE);
    WSADATA winsock;
    const bool probing = RunningUnderWine() && !options.direct && WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
    const DWORD probeInterval = Tunable(kProbeIntervalVariable, kProbeIntervalMs);
    // A probe may wait for one exchange with the Server API before its own.
    const DWORD probeLimit = 3 * Tunable(kApiAnswerVariable, kApiAnswerMs);
    DWORD pause = kFirstRestartPauseMs;
    // The pause before the next start; false when the host is asked to stop.
    const auto pauseBeforeRestart = [&pause] {
        fflush(stdout);
        if (WaitForSingleObject(g_stopEvent, pause) == WAIT_OBJECT_0) return false;
        pause = std::min(pause * 2, kMaxRestartPauseMs);
        return true;
    };
    for (bool first = true;; first = false) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created = {};
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        // Starting a process can fail for a moment on a busy machine (Wine
        // answered "internal error" once under load): tried a few times.
        bool startedProcess = false;
        for (int attempt = 0; attempt < kStartAttempts && !startedProcess; ++attempt) {
            if (attempt > 0 && WaitForSingleObject(g_stopEvent, kStartRetryPauseMs) == WAIT_OBJECT_0) return 0;
            startedProcess = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                            nullptr, &startup, &created) != 0;
        }
        if (!startedProcess) {
            fprintf(stderr, "tarnwick-host: cannot start the server process (error %lu)\n", GetLastError());
            // Only the first start can tell that the host cannot run; later
            // (its program being replaced, say) the start is tried again.
            if (first) return 1;
            printf("tarnwick-host: starting the server again in %lu ms\n", static_cast<unsigned long>(pause));
            if (!pauseBeforeRestart()) return 0;
            continue;
        }
        OwnedHandle process{created.hProcess}, thread{created.hThread};
        if (job) AssignProcessToJobObject(job.get(), process.get());
        ResumeThread(thread.get());
        thread.reset();
        const ULONGLONG started = GetTickCount64();

        bool answered = false;
        bool hung = false;
        int failedProbes = 0;
        OwnedSocket probeLine;   // to this server's relay
        HANDLE waits[2] = {process.get(), g_stopEvent};
        for (;;) {
            DWORD woke = WaitForMultipleObjects(2, waits, FALSE, probing ? probeInterval : INFINITE);
            if (woke == WAIT_OBJECT_0) break;
            if (woke == WAIT_OBJECT_0 + 1) {
                if (WaitForSingleObject(process.get(), kStopWaitMs) != WAIT_OBJECT_0)
                    TerminateProcess(process.get(), kExitStopped);
                return 0;
            }
            // A relay that does not listen yet is a server still starting;
            // one that listens has its Server API ready, and must answer.
            const ProbeResult probe = Probe(options, secret, probeLimit, probeLine);
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
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), kStopWaitMs);
            // Mostly it is Wine's HTTP service that hangs (on a request it
            // cannot take): the next server starts it afresh.
            if (EndWineHttpService()) printf("tarnwick-host: ended Wine's HTTP service too, to start it afresh\n");
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        process.reset();
        if (WaitForSingleObject(g_stopEvent, 0) == WAIT_OBJECT_0 || code == kExitStopped) return 0;
        if (first && code == kExitCannotStart) return 1;
        if (GetTickCount64() - started >= kStableRunMs) pause = kFirstRestartPauseMs;
        printf("tarnwick-host: the server stopped (0x%08lX); starting it again in %lu ms\n",
               static_cast<unsigned long>(code), static_cast<unsigned long>(pause));
        if (!pauseBeforeRestart()) return 0;
    }
}

}  // namespace tarnwick::host
