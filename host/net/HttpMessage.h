// One request as the host received it and one response as it will send it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    unsigned long long id = 0;    // the Server API's request id
    std::string method;           // "GET", "POST", ...
    std::string protocol;         // "HTTP/1.1"
    std::string rawPath;          // before '?', still percent-encoded
    std::string query;            // after '?', still encoded
    HeaderList headers;           // names as the client wrote them
    std::string remoteAddress;
    std::string localAddress;
    unsigned short localPort = 0;
    std::string body;
    int refusal = 0;              // a 4xx status when a limit was exceeded
    std::string relayToken;       // set when the request came through the relay

    // The first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string reason = "OK";
    HeaderList headers;           // Content-Type among them
    std::string body;
    bool omitBody = false;        // HEAD
};

}  // namespace tarnwick::host
