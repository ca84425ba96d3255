// The platform's HTTP Server API (httpapi.dll) as a simple blocking queue:
// register a URL, receive whole requests, send whole responses.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "host/net/HttpMessage.h"
#include "host/net/Owned.h"

namespace tarnwick::host {

class HttpQueue {
public:
    // Receives kept waiting in the Server API. Wine's HTTP service gives a
    // request that becomes ready only to a receive already waiting; a
    // receive that comes later finds it only when no other idle connection
    // is newer, and otherwise the request stays there unseen for good. So
    // more receives wait than requests can arrive at once through the relay
    // (one per client connection it admits, and the probe).
    static constexpr size_t kPostedReceives = 80;

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
    struct PostedReceive {
        std::vector<char> buffer;
        OVERLAPPED overlapped = {};
        unsigned long long order = 0;
        bool pending = false;
        ULONG failed = NO_ERROR;   // the receive could not even be posted
    };
    void Post(PostedReceive& posted);
    // Waits for the earliest request among the posted receives, takes its
    // buffer and posts that receive again; the Server API's result.
    ULONG NextPosted(std::vector<char>& buffer, ULONG& got);

    PostedReceive posted_[kPostedReceives];
    OwnedHandle anyDone_;   // set when a posted receive ends
    unsigned long long postings_ = 0;
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
