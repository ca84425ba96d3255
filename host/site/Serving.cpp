#include "host/site/Serving.h"

#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>

#include "host/net/BodyRelay.h"
#include "host/net/ErrorPage.h"
#include "host/net/HttpFraming.h"
#include "host/net/HttpQueue.h"
#include "host/net/Secrets.h"
#include "host/page/Automation.h"
#include "host/site/PagePool.h"

namespace tarnwick::host {

namespace {

HttpQueue* g_queue = nullptr;
volatile LONG g_stopAsked = 0;

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

}  // namespace

int Serve(const HostOptions& options) {
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
    std::string secret = secretLength > 0 && secretLength < 64 ? Narrow(secretText, CP_UTF8) : NewSecret();
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
                    // A visitor who left while the page waited for a thread
                    // (gave up, pressed Stop) has it not run.
                    if (relayed && relay.Abandoned(*request)) {
                        queue.Send(*request, ErrorPage(503));
                        return;
                    }
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

}  // namespace tarnwick::host
