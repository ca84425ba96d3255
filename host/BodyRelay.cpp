#include "host/BodyRelay.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "host/HttpText.h"
#include "host/Sessions.h"
#include "host/SiteServer.h"

namespace tarnwick::host {

namespace {

constexpr const char* kBodyHeader = "X-Tarnwick-Body";
// A client that sends nothing for this long loses its connection.
constexpr DWORD kIdleMilliseconds = 30000;
// Connections served at once; more are closed at the door.
constexpr long kMaxConnections = 64;
constexpr size_t kMaxHeadBytes = kMaxUrlBytes + kMaxHeaderBytes;
// What a closing connection still reads and drops, at most.
constexpr size_t kMaxDrainBytes = 4u << 20;

bool StartsWithNoCase(const std::string& line, const char* prefix) {
    return _strnicmp(line.c_str(), prefix, strlen(prefix)) == 0;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int n = send(s, data, static_cast<int>(size < (1 << 20) ? size : (1 << 20)), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Answers with an error page and closes: the connection is done (false).
bool SendStatus(SOCKET client, int status) {
    HttpResponse page = SiteServer::ErrorPage(status);
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + page.reason +
                       "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(page.body.size()) +
                       "\r\nConnection: close\r\n\r\n";
    SendAll(client, head.data(), head.size());
    SendAll(client, page.body.data(), page.body.size());
    return false;
}

// The value of a header line "Name: value", trimmed.
std::string ValueOf(const std::string& line) {
    size_t colon = line.find(':');
    size_t start = line.find_first_not_of(" \t", colon + 1);
    if (colon == std::string::npos || start == std::string::npos) return std::string();
    size_t end = line.find_last_not_of(" \t");
    return line.substr(start, end - start + 1);
}

}  // namespace

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

unsigned short FreeLoopbackPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    unsigned short port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

BodyRelay::~BodyRelay() {
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    // Connection threads are detached; the process ends with the host.
}

bool BodyRelay::Start(const std::string& bindAddress, unsigned short port, unsigned short internalPort,
                      size_t maxBody, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "Winsock cannot start";
        return false;
    }
    port_ = port;
    internalPort_ = internalPort;
    maxBody_ = maxBody;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    addrinfo* found = nullptr;
    std::string host = bindAddress == "*" ? "0.0.0.0" : bindAddress;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        error = "not an address to listen on: " + bindAddress;
        return false;
    }
    listener_ = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    bool ok = listener_ != INVALID_SOCKET && bind(listener_, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 &&
              listen(listener_, SOMAXCONN) == 0;
    freeaddrinfo(found);
    if (!ok) {
        error = "cannot listen on " + bindAddress + ":" + std::to_string(port) + " (in use?)";
        return false;
    }
    std::thread([this] { AcceptLoop(); }).detach();
    return true;
}

void BodyRelay::AcceptLoop() {
    for (;;) {
        sockaddr_storage address;
        int length = sizeof address;
        SOCKET client = accept(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        if (client == INVALID_SOCKET) {
            if (WSAGetLastError() == WSAEINTR || WSAGetLastError() == WSAECONNRESET) continue;
            return;
        }
        char text[INET6_ADDRSTRLEN] = "";
        if (address.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
        else if (address.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (connections_ >= kMaxConnections) {
                closesocket(client);
                continue;
            }
            ++connections_;
        }
        std::thread([this, client, remote = std::string(text)] {
            Serve(client, remote);
            closesocket(client);
            std::lock_guard<std::mutex> lock(mutex_);
            --connections_;
        }).detach();
    }
}

std::string BodyRelay::Keep(std::string body, const std::string& remoteAddress, const std::string& host) {
    std::string token = NewSessionId();
    std::lock_guard<std::mutex> lock(mutex_);
    kept_[token] = Kept{std::move(body), remoteAddress, host, false, std::string(), 0};
    return token;
}

void BodyRelay::Forget(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.erase(token);
}

void BodyRelay::Serve(SOCKET client, std::string remoteAddress) {
    DWORD idle = kIdleMilliseconds;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&idle), sizeof idle);
    // Bytes read from the client and not yet used (the start of its next
    // request on a kept-alive connection).
    std::string pending;
    while (ServeOne(client, remoteAddress, pending)) {
    }
    // Close gently: a client still sending (a refused large body) would
    // otherwise get a reset instead of the answer it was sent.
    shutdown(client, SD_SEND);
    DWORD linger = 1000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&linger), sizeof linger);
    char sink[16 * 1024];
    for (size_t drained = 0; drained < kMaxDrainBytes;) {
        int n = recv(client, sink, sizeof sink, 0);
        if (n <= 0) break;
        drained += static_cast<size_t>(n);
    }
}

bool BodyRelay::ServeOne(SOCKET client, const std::string& remoteAddress, std::string& data) {
    // The head: everything up to the first empty line.
    size_t headEnd = data.find("\r\n\r\n");
    char buffer[64 * 1024];
    while (headEnd == std::string::npos) {
        size_t lineEnd = data.find("\r\n");
        if ((lineEnd == std::string::npos ? data.size() : lineEnd) > kMaxUrlBytes + 32) return SendStatus(client, 414);
        if (data.size() > kMaxHeadBytes) return SendStatus(client, 431);
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<size_t>(n));
        headEnd = data.find("\r\n\r\n");
    }
    if (headEnd > kMaxHeadBytes) return SendStatus(client, 431);

    // Header lines the relay reads, and the ones it rewrites.
    std::string head;
    std::string host;
    size_t length = 0;
    bool continueExpected = false;
    bool closeWanted = false;
    size_t pos = 0;
    bool first = true;
    while (pos < headEnd) {
        size_t end = data.find("\r\n", pos);
        std::string line = data.substr(pos, end - pos);
        pos = end + 2;
        if (!first && line.size() > kMaxHeaderLineBytes) return SendStatus(client, 431);
        if (first) {
            // HTTP/1.0 closes after each response unless asked otherwise.
            closeWanted = line.size() >= 8 && line.compare(line.size() - 8, 8, "HTTP/1.0") == 0;
        } else {
            if (StartsWithNoCase(line, "Content-Length:")) {
                std::string value = ValueOf(line);
                char* stop = nullptr;
                unsigned long long n = strtoull(value.c_str(), &stop, 10);
                if (value.empty() || *stop != 0 || value[0] == '-') return SendStatus(client, 400);
                if (n > maxBody_) return SendStatus(client, 413);
                length = static_cast<size_t>(n);
                continue;
            }
            if (StartsWithNoCase(line, "Transfer-Encoding:")) return SendStatus(client, 411);
            if (StartsWithNoCase(line, "Expect:")) {
                continueExpected = _stricmp(ValueOf(line).c_str(), "100-continue") == 0;
                continue;
            }
            // The Server API sees its own address; the page sees the client's.
            if (StartsWithNoCase(line, "Host:")) {
                host = ValueOf(line);
                continue;
            }
            if (StartsWithNoCase(line, "Connection:")) {
                std::string value = ValueOf(line);
                if (_stricmp(value.c_str(), "close") == 0) closeWanted = true;
                if (_stricmp(value.c_str(), "keep-alive") == 0) closeWanted = false;
                continue;
            }
            if (StartsWithNoCase(line, "Keep-Alive:") || StartsWithNoCase(line, "X-Tarnwick-")) continue;
        }
        first = false;
        head += line + "\r\n";
    }

    // The body, whole; what follows it is the next request's.
    data.erase(0, headEnd + 4);
    std::string body;
    if (data.size() >= length) {
        body = data.substr(0, length);
        data.erase(0, length);
    } else {
        body.swap(data);
        if (continueExpected) {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            if (!SendAll(client, kContinue, sizeof kContinue - 1)) return false;
        }
        body.reserve(length);
        while (body.size() < length) {
            size_t want = length - body.size();
            int n = recv(client, buffer, static_cast<int>(want < sizeof buffer ? want : sizeof buffer), 0);
            if (n <= 0) return false;
            body.append(buffer, static_cast<size_t>(n));
        }
    }

    std::string token = Keep(std::move(body), remoteAddress, host);
    head += "Host: 127.0.0.1:" + std::to_string(internalPort_) + "\r\n";
    head += std::string(kBodyHeader) + ": " + token + "\r\n";
    head += "Content-Length: 0\r\nConnection: close\r\n\r\n";

    // Through the Server API (a connection of its own each time) and back.
    // One request at a time: Wine's Server API leaves requests waiting when
    // several arrive together. The host serves one at a time anyway.
    std::string replyHead, replyBody;
    bool complete = false;
    bool reached = false;
    {
        std::lock_guard<std::mutex> one(apiMutex_);
        SOCKET inner = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(internalPort_);
        reached = inner != INVALID_SOCKET &&
                  connect(inner, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  SendAll(inner, head.data(), head.size());
        if (reached) complete = ReadResponse(inner, token, closeWanted, replyHead, replyBody);
        if (inner != INVALID_SOCKET) closesocket(inner);
    }
    Forget(token);
    if (!reached || replyHead.empty()) return SendStatus(client, 502);
    if (!SendAll(client, replyHead.data(), replyHead.size()) || !SendAll(client, replyBody.data(), replyBody.size()))
        return false;
    return complete && !closeWanted;
}

bool BodyRelay::ReadResponse(SOCKET inner, const std::string& token, bool closing, std::string& head,
                             std::string& body) {
    // The response head as the Server API wrote it.
    std::string data;
    size_t headEnd = std::string::npos;
    char buffer[64 * 1024];
    while (headEnd == std::string::npos) {
        int n = recv(inner, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<size_t>(n));
        headEnd = data.find("\r\n\r\n");
    }
    size_t keptLength = 0;
    bool kept = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = kept_.find(token);
        if (found != kept_.end() && found->second.hasResponse) {
            body.swap(found->second.response);
            keptLength = found->second.responseLength;
            kept = true;
        }
    }
    // The head again, with the relay's own Content-Length and Connection.
    bool hasLength = false;
    size_t length = 0;
    size_t pos = 0;
    while (pos < headEnd) {
        size_t end = data.find("\r\n", pos);
        std::string line = data.substr(pos, end - pos);
        pos = end + 2;
        if (StartsWithNoCase(line, "Connection:") || StartsWithNoCase(line, "Keep-Alive:")) continue;
        if (StartsWithNoCase(line, "Content-Length:")) {
            hasLength = true;
            length = static_cast<size_t>(strtoull(ValueOf(line).c_str(), nullptr, 10));
            if (kept) continue;
        }
        head += line + "\r\n";
    }
    // A HEAD response tells the length of the body it leaves out.
    if (kept) head += "Content-Length: " + std::to_string(keptLength) + "\r\n";
    const bool framed = kept || hasLength;
    if (closing || !framed) head += "Connection: close\r\n";
    head += "\r\n";
    if (kept) return true;

    // A response of the Server API's own (small): its body as it comes.
    body = data.substr(headEnd + 4);
    if (!framed) {
        for (;;) {
            int n = recv(inner, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            body.append(buffer, static_cast<size_t>(n));
        }
        return false;
    }
    while (body.size() < length) {
        int n = recv(inner, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        body.append(buffer, static_cast<size_t>(n));
    }
    body.resize(length);
    return true;
}

void BodyRelay::Detach(const HttpRequest& request, HttpResponse& response) {
    if (request.relayToken.empty() || response.body.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(request.relayToken);
    if (found == kept_.end()) return;   // the client has gone: send as usual
    found->second.responseLength = response.body.size();
    if (!response.omitBody) found->second.response.swap(response.body);
    found->second.hasResponse = true;
    response.body.clear();
}

void BodyRelay::Attach(HttpRequest& request) {
    std::string token;
    HeaderList headers;
    for (auto& h : request.headers) {
        if (_stricmp(h.first.c_str(), kBodyHeader) == 0) token = h.second;
        else if (_stricmp(h.first.c_str(), "Content-Length") == 0 || _stricmp(h.first.c_str(), "Connection") == 0 ||
                 _stricmp(h.first.c_str(), "Host") == 0)
            continue;
        else headers.push_back(h);
    }
    request.headers.swap(headers);
    if (token.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(token);
    if (found == kept_.end()) return;
    request.body.swap(found->second.body);
    request.relayToken = token;
    request.remoteAddress = found->second.remoteAddress;
    request.localPort = port_;
    if (!found->second.host.empty()) request.headers.emplace(request.headers.begin(), "Host", found->second.host);
    // The entry stays for the response; the relay drops it when the connection is done.
    if (!request.body.empty()) request.headers.emplace_back("Content-Length", std::to_string(request.body.size()));
}

}  // namespace tarnwick::host
