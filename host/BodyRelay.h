// A front door for Wine's HTTP Server API, which drops any request whose
// body does not reach it in one piece (about 128 KiB on loopback). The relay
// takes each connection itself, reads the head and the whole body, keeps
// the body aside under a random token and passes the request on to the
// Server API without its body, on an internal loopback port. The host then
// puts the body back (Attach). Responses take the same way back: Wine's
// Server API loses what a socket cannot take at once (a few MiB), so the
// host keeps a response body aside (Detach) and the relay sends it after the
// head the Server API wrote. The Server API still parses every request; the
// relay only frames messages: the end of the head and Content-Length.
// It also answers the size limits (414, 431, 413, 411) before reading on.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "host/HttpMessage.h"

namespace tarnwick::host {

// True when the program runs under Wine (its ntdll says so).
bool RunningUnderWine();

// A free TCP port on the loopback address, or 0.
unsigned short FreeLoopbackPort();

class BodyRelay {
public:
    BodyRelay() = default;
    ~BodyRelay();
    BodyRelay(const BodyRelay&) = delete;
    BodyRelay& operator=(const BodyRelay&) = delete;

    // Listens on bindAddress:port and forwards to 127.0.0.1:internalPort.
    bool Start(const std::string& bindAddress, unsigned short port, unsigned short internalPort, size_t maxBody,
               std::string& error);
    // Gives a request that came through the relay its body, its client's
    // address and its real Content-Length back; drops the relay's headers.
    void Attach(HttpRequest& request);
    // Moves a response's body to the relay, which sends it after the head.
    void Detach(const HttpRequest& request, HttpResponse& response);

private:
    void AcceptLoop();
    void Serve(SOCKET client, std::string remoteAddress);
    // One request of a connection; false when the connection is done.
    bool ServeOne(SOCKET client, const std::string& remoteAddress, std::string& pending);
    // Reads the Server API's response and rebuilds its head (with the body
    // the host kept aside, if any). False when the client's connection
    // cannot carry another request after it.
    bool ReadResponse(SOCKET inner, const std::string& token, bool closing, std::string& head, std::string& body);
    std::string Keep(std::string body, const std::string& remoteAddress, const std::string& host);
    void Forget(const std::string& token);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    unsigned short internalPort_ = 0;
    size_t maxBody_ = 0;

    std::mutex apiMutex_;   // one request in the Server API at a time
    std::mutex mutex_;
    struct Kept {
        std::string body;
        std::string remoteAddress;
        std::string host;   // the client's Host header
        bool hasResponse;
        std::string response;
        size_t responseLength;   // also for HEAD, which sends no body
    };
    std::map<std::string, Kept> kept_;
    long connections_ = 0;
};

}  // namespace tarnwick::host
