// A front door for Wine's HTTP Server API, which drops any request whose
// body does not reach it in one piece (about 128 KiB on loopback). The relay
// takes each connection itself, reads the head and the whole body, keeps
// the body aside under a random token and passes the request on to the
// Server API without its body, on an internal loopback port, over
// connections it keeps open for the next requests. The host then puts the
// body back (Attach). Responses take the same way back: Wine's
// Server API loses what a socket cannot take at once (a few MiB), so the
// host keeps a response body aside (Detach) and the relay sends it after the
// head the Server API wrote. The Server API still parses every request; the
// relay frames messages (by the strict rules of HttpText.h) and answers
// what breaks them (400, 411, 413, 414, 431) before reading on.
//
// Wine's Server API listens on every address for the internal port, so the
// relay marks what it passes on with a secret of the host's start and the
// server refuses requests without it (403). Hostile clients are held to
// limits: a deadline for the whole head, a number of connections per client
// address, and a share of memory for request bodies (the rest wait in
// temporary files). Each exchange with the Server API has a time limit, not
// counting the time the page runs (503).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/net/HttpMessage.h"
#include "host/net/Owned.h"

namespace tarnwick::host {

// True when the program runs under Wine (its ntdll says so).
bool RunningUnderWine();

// A free TCP port on the loopback address, or 0.
unsigned short FreeLoopbackPort();

// A time limit or size of the host, unless the environment variable of that
// name holds another number (the tests use shorter ones).
unsigned long Tunable(const wchar_t* name, unsigned long value);

// How long the Server API may take to hand a request to the host and its
// response back, not counting the page (503 after it); the supervisor's
// probe allows for it.
constexpr unsigned long kApiAnswerMs = 10000;
constexpr const wchar_t* kApiAnswerVariable = L"TARNWICK_HOST_API_LIMIT_MS";

class BodyRelay {
public:
    // The header that carries the relay's secret to the server.
    static constexpr const char* kSecretHeader = "X-Tarnwick-Relay";
    // The header of the supervisor's probe (its value is the secret).
    static constexpr const char* kProbeHeader = "X-Tarnwick-Probe";

    BodyRelay() = default;
    ~BodyRelay();
    BodyRelay(const BodyRelay&) = delete;
    BodyRelay& operator=(const BodyRelay&) = delete;

    // Listens on bindAddress:port and forwards to 127.0.0.1:internalPort,
    // marking each request with the secret.
    bool Start(const std::string& bindAddress, unsigned short port, unsigned short internalPort, size_t maxBody,
               const std::string& secret, std::string& error);
    // Gives a request that came through the relay its body, its client's
    // address and its real Content-Length back; drops the relay's headers.
    // True for the supervisor's probe, which the server answers at once.
    bool Attach(HttpRequest& request);
    // Whether the relay gave up the request (its client left) after the
    // host had it: a page that has not begun need not run.
    bool Abandoned(const HttpRequest& request);
    // Moves a response's body to the relay, which sends it after the head.
    void Detach(const HttpRequest& request, HttpResponse& response);

private:
    struct Kept;
    // Done: a whole response that leaves the connection open; Closing: the
    // connection ends after it (or no response came); TimedOut: the Server
    // API did not answer in time; Busy: a probe while a page runs.
    enum class Reply { Done, Closing, TimedOut, Busy };

    // A client connection admitted and not yet served.
    struct Admitted {
        OwnedSocket client;
        std::string remoteAddress;
        std::string key;   // what its address is counted by
    };

    void AcceptLoop();
    // A connection thread: serves the connections handed to it, one after
    // another, and ends after kIdleWorkerMs without one.
    void Work(Admitted first);
    void Serve(SOCKET client, std::string remoteAddress);
    // One request of a connection; false when the connection is done, with
    // clientClosed when the client closed its side.
    bool ServeOne(SOCKET client, const std::string& remoteAddress, std::string& pending, bool& clientClosed);
    // Reads the body that follows a head into memory or, past the relay's
    // share of memory, into a temporary file. False when the client left
    // (or is answered already).
    bool ReadBody(SOCKET client, unsigned long long length, bool expectContinue, std::string& pending, Kept& kept);
    // Passes one request to the Server API and reads its response.
    Reply Exchange(const std::string& head, const std::string& token, bool probe, bool closing,
                   std::string& replyHead, std::string& replyBody);
    // Reads the Server API's response and rebuilds its head (with the body
    // the host kept aside, if any). Closing when the client's connection
    // cannot carry another request after it.
    // `reusable` when the connection can carry another request.
    Reply ReadResponse(SOCKET inner, const std::string& token, bool closing, std::string& head, std::string& body,
                       bool& reusable);
    // Idle connections to the Server API, taken and given back.
    OwnedSocket TakeKeptConnection();
    void KeepConnection(OwnedSocket inner);
    // Whether the host has had the request.
    bool Reached(const std::string& token);
    // Whether the Server API handed the request to the host (or answered)
    // within ms.
    bool HandedOver(SOCKET inner, const std::string& token, unsigned long ms);
    // Makes the Server API look at all its connections again.
    void WakeApi();
    sockaddr_in ApiAddress() const;
    // Waits until the inner socket can be read; false after the time limit,
    // which does not run while the host has the request.
    bool WaitForApi(SOCKET inner, const std::string& token);
    std::string Keep(Kept kept);
    void Forget(const std::string& token);

    OwnedSocket listener_;
    unsigned short port_ = 0;
    unsigned short internalPort_ = 0;
    size_t maxBody_ = 0;
    std::string secret_;
    unsigned long headDeadlineMs_ = 0;
    unsigned long apiAnswerMs_ = 0;
    bool passAnyTarget_ = false;
    unsigned long busyHandOverMs_ = 0;

    std::timed_mutex apiMutex_;   // one hand-over to the Server API at a time
    std::mutex mutex_;
    std::condition_variable handedOver_;   // a request reached the host (Attach)
    struct Kept {
        std::string body;
        OwnedFile spool;   // the body, when too large to keep in memory (deleted when closed)
        unsigned long long length = 0;
        size_t heldBytes = 0;                  // of the relay's share of memory
        std::string remoteAddress;
        std::string host;   // the client's Host header
        HeaderList aside;   // headers the Server API cannot take (not ASCII)
        SOCKET client = INVALID_SOCKET;   // its connection, watched while the host has the request
        bool probe = false;
        bool reached = false;  // the host has had the request from the Server API
        bool inHost = false;   // between Attach and Detach: the page runs
        bool hasResponse = false;
        std::string response;
        size_t responseLength = 0;   // also for HEAD, which sends no body
    };
    std::deque<Admitted> admitted_;   // waiting for a connection thread
    size_t idleWorkers_ = 0;           // connection threads waiting for one
    std::condition_variable admittedReady_;
    std::map<std::string, Kept> kept_;
    struct IdleConnection {
        OwnedSocket socket;
        ULONGLONG since;   // GetTickCount64() when it was last used
    };
    std::vector<IdleConnection> keptConnections_;   // to the Server API, least recently used first
    long connections_ = 0;
    std::map<std::string, long> perAddress_;
    size_t heldBodyBytes_ = 0;
    size_t maxHeldBodyBytes_ = 0;
    long inHost_ = 0;
};

}  // namespace tarnwick::host
