// The platform's HTTP Server API (httpapi.dll) as a simple blocking queue:
// register a URL, receive whole requests, send whole responses.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "host/net/HttpMessage.h"
#include "host/net/Owned.h"

namespace tarnwick::host {

class HttpQueue {
public:
    HttpQueue() = default;
    ~HttpQueue();
    HttpQueue(const HttpQueue&) = delete;
    HttpQueue& operator=(const HttpQueue&) = delete;

    // Starts the API and registers the URL prefix ("http://127.0.0.1:8080/").
    bool Open(const std::wstring& urlPrefix, std::string& error);
    // Waits for the next request and reads it whole. A request over a limit
    // comes back with `refusal` set and its body unread. False when the
    // queue was closed (shutdown) or failed.
    bool Receive(HttpRequest& request, size_t maxBody);
    // Sends the response to a received request. Failures (client gone) are
    // not reported: there is nobody left to tell.
    void Send(const HttpRequest& request, const HttpResponse& response);
    // Makes a waiting Receive return false (from another thread).
    void Shutdown();
    // From now on a request without this header and value is refused (403)
    // before its body is read.
    void RequireHeader(const std::string& name, const std::string& value);

private:
    OwnedHandle queue_;
    std::wstring url_;
    bool initialized_ = false;
    std::mutex sending_;   // one response at a time into the Server API
    std::string requiredName_;
    std::string requiredValue_;
};

// Under Wine: ends the process that runs Wine's HTTP service, so that the
// next Open starts it afresh. A request can leave that service hung for
// good (and every Server API call with it). False when it was not found.
bool EndWineHttpService();

}  // namespace tarnwick::host
