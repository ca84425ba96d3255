#include "host/net/BodyRelay.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>

#include "host/net/AddressText.h"
#include "host/net/ErrorPage.h"
#include "host/net/HttpFraming.h"
#include "host/net/HttpQueue.h"
#include "host/net/Secrets.h"

namespace tarnwick::host {

namespace {

constexpr const char* kBodyHeader = "X-Tarnwick-Body";
// A client that sends nothing for this long in the middle of a body loses
// its connection.
constexpr DWORD kIdleMilliseconds = 30000;
// The whole head of a request must arrive within this time of the relay
// starting to wait for it, so that a client trickling a byte at a time
// cannot hold a connection; an idle kept-alive connection closes after it.
constexpr unsigned long kHeadDeadlineMs = 15000;
constexpr const wchar_t* kHeadDeadlineVariable = L"TARNWICK_HOST_HEAD_DEADLINE_MS";
// Connections served at once; more are refused at the door (503).
constexpr long kMaxConnections = 64;
static_assert(HttpQueue::kPostedReceives > kMaxConnections + 1, "a receive waits for every request under way");
// Connections of one client address (IPv6: of one /64 network) at once: a
// browser opens six or so, a few tabs more; one client cannot take them all.
constexpr long kMaxConnectionsPerAddress = 16;
// Request bodies held in memory across connections; the bodies beyond it
// wait in temporary files (the host takes them one at a time).
constexpr size_t kMaxHeldBodyBytes = 32u << 20;
// What a closing connection still reads and drops, at most, and for how long.
constexpr size_t kMaxDrainBytes = 4u << 20;
constexpr unsigned long kMaxDrainMs = 2000;
// How long a connection thread waits for another connection before it ends.
constexpr unsigned long kIdleWorkerMs = 30000;
// A response body up to this size is sent with its head, in one send.
constexpr size_t kJoinedReplyBytes = 64 * 1024;
// How often a wait for the Server API looks whether the host has the request.
constexpr DWORD kApiPollMs = 200;
// With nothing else in it, the Server API hands a request to the host within
// milliseconds; one it holds longer than this may never come out, and the
// next visitors' requests go in beside it rather than wait behind it.
constexpr unsigned long kHandOverMs = 300;
// While pages run, the machine is busy and a hand-over can take longer: two
// requests in the Server API at once may both be left waiting there for
// good, so the next request waits up to this long for the one before. Under
// bursts of 16 pages at once on a loaded 2-core machine, 300 ms let Wine's
// HTTP service hang now and then and 800 ms did not; it is also about the
// most a request the Server API never hands over may delay the next visitor.
constexpr unsigned long kBusyHandOverMs = 800;
constexpr const wchar_t* kBusyHandOverVariable = L"TARNWICK_HOST_BUSY_HANDOVER_MS";
constexpr DWORD kHandOverPollMs = 10;
// A request on a kept connection that the Server API has not handed to the
// host after this long was missed: the relay wakes the Server API.
constexpr unsigned long kKeptHandOverMs = 100;
// Wine's HTTP service reads every connection it has each time it wakes (a
// few times per request), so an idle connection to it costs a little on
// every request: one unused for this long is closed.
constexpr ULONGLONG kKeptIdleMs = 1000;
// Idle connections to the Server API kept for the next requests: as many as
// requests can be under way at once (one per client connection).
constexpr size_t kMaxKeptApiConnections = static_cast<size_t>(kMaxConnections);
// Tests set this to 1 to let a request target that is not a path through to
// the Server API, which then never answers it: a hung exchange.
constexpr const wchar_t* kPassAnyTargetVariable = L"TARNWICK_HOST_TEST_PASS_ANY_TARGET";

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

// What the server does with any method: the site's pages take these.
constexpr char kAllowedMethods[] = "GET, HEAD, POST, OPTIONS";

// Answers with an error page and closes: the connection is done (false).
// extraHeaders: whole header lines, each ending in CR LF.
bool SendStatus(SOCKET client, int status, const std::string& extraHeaders = std::string()) {
    HttpResponse page = ErrorPage(status);
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + page.reason +
                       "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(page.body.size()) +
                       "\r\n" + extraHeaders + "Connection: close\r\n\r\n";
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

// True when the socket has something to read (or was closed) within ms.
bool WaitReadable(SOCKET s, unsigned long ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

// Whether the client has closed its connection (or it broke). Bytes it
// sent meanwhile (its next request) do not count.
bool ClientLeft(SOCKET client) {
    if (!WaitReadable(client, 0)) return false;
    char next;
    return recv(client, &next, 1, MSG_PEEK) <= 0;
}

// connect() that gives up after ms.
bool ConnectWithin(SOCKET s, const sockaddr_in& address, unsigned long ms) {
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
    bool connected = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait = {static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
        connected = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable);
    }
    nonBlocking = 0;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0 && connected;
}

// The address text a page sees, and the key its connections are counted by.
void DescribeClient(const sockaddr_storage& address, std::string& text, std::string& key) {
    text = key = AddressText(reinterpret_cast<const sockaddr*>(&address));
    if (address.ss_family == AF_INET6) {
        // One network hands its hosts a /64 of addresses to choose from.
        sockaddr_in6 network = *reinterpret_cast<const sockaddr_in6*>(&address);
        memset(&network.sin6_addr.s6_addr[8], 0, 8);
        key = AddressText(reinterpret_cast<const sockaddr*>(&network)) + "/64";
    }
}

}  // namespace

unsigned long Tunable(const wchar_t* name, unsigned long value) {
    wchar_t text[32];
    DWORD n = GetEnvironmentVariableW(name, text, 32);
    if (n == 0 || n >= 32) return value;
    wchar_t* end = nullptr;
    unsigned long parsed = wcstoul(text, &end, 10);
    return *end == 0 && parsed > 0 ? parsed : value;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

unsigned short FreeLoopbackPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    unsigned short port = 0;
    if (OwnedSocket s{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)}) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    WSACleanup();
    return port;
}

// Connection threads are detached; the process ends with the host.
BodyRelay::~BodyRelay() = default;

bool BodyRelay::Start(const std::string& bindAddress, unsigned short port, unsigned short internalPort,
                      size_t maxBody, const std::string& secret, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "Winsock cannot start";
        return false;
    }
    port_ = port;
    internalPort_ = internalPort;
    maxBody_ = maxBody;
    secret_ = secret;
    headDeadlineMs_ = Tunable(kHeadDeadlineVariable, kHeadDeadlineMs);
    apiAnswerMs_ = Tunable(kApiAnswerVariable, kApiAnswerMs);
    passAnyTarget_ = Tunable(kPassAnyTargetVariable, 0) == 1;
    busyHandOverMs_ = Tunable(kBusyHandOverVariable, kBusyHandOverMs);
    maxHeldBodyBytes_ = kMaxHeldBodyBytes;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    OwnedAddrInfo found;
    std::string host = bindAddress == "*" ? "0.0.0.0" : bindAddress;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, found.put()) != 0 || !found) {
        error = "not an address to listen on: " + bindAddress;
        return false;
    }
    listener_.reset(socket(found.get()->ai_family, SOCK_STREAM, IPPROTO_TCP));
    const bool ok = listener_ &&
                    bind(listener_.get(), found.get()->ai_addr, static_cast<int>(found.get()->ai_addrlen)) == 0 &&
                    listen(listener_.get(), SOMAXCONN) == 0;
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
        OwnedSocket client{accept(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length)};
        if (!client) {
            if (WSAGetLastError() == WSAEINTR || WSAGetLastError() == WSAECONNRESET) continue;
            return;
        }
        std::string remote, key;
        DescribeClient(address, remote, key);
        bool admitted = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            long& ofAddress = perAddress_[key];
            admitted = connections_ < kMaxConnections && ofAddress < kMaxConnectionsPerAddress;
            if (admitted) {
                ++connections_;
                ++ofAddress;
            } else if (ofAddress == 0) {
                perAddress_.erase(key);
            }
        }
        if (!admitted) {
            SendStatus(client.get(), 503);
            continue;
        }
        // A connection thread that waits takes it; else a new one. Starting
        // a thread costs a round of calls to Wine's server and the thread
        // attach of every library loaded, so threads wait a while for the
        // next connection.
        Admitted next{std::move(client), remote, key};
        std::unique_lock<std::mutex> lock(mutex_);
        if (idleWorkers_ > admitted_.size()) {
            admitted_.push_back(std::move(next));
            lock.unlock();
            admittedReady_.notify_one();
            continue;
        }
        lock.unlock();
        std::thread([this, first = std::move(next)]() mutable { Work(std::move(first)); }).detach();
    }
}

void BodyRelay::Work(Admitted next) {
    for (;;) {
        Serve(next.client.get(), next.remoteAddress);
        next.client.reset();
        std::unique_lock<std::mutex> lock(mutex_);
        --connections_;
        if (--perAddress_[next.key] == 0) perAddress_.erase(next.key);
        ++idleWorkers_;
        const bool handed = admittedReady_.wait_for(lock, std::chrono::milliseconds(kIdleWorkerMs),
                                                    [this] { return !admitted_.empty(); });
        --idleWorkers_;
        if (!handed) return;
        next = std::move(admitted_.front());
        admitted_.pop_front();
    }
}

std::string BodyRelay::Keep(Kept kept) {
    std::string token = NewSecret();
    std::lock_guard<std::mutex> lock(mutex_);
    kept_[token] = std::move(kept);
    return token;
}

void BodyRelay::Forget(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(token);
    if (found == kept_.end()) return;
    Kept& kept = found->second;
    heldBodyBytes_ -= kept.heldBytes;
    if (kept.inHost) --inHost_;
    kept_.erase(found);
}

void BodyRelay::Serve(SOCKET client, std::string remoteAddress) {
    // Bytes read from the client and not yet used (the start of its next
    // request on a kept-alive connection).
    std::string pending;
    bool clientClosed = false;
    while (ServeOne(client, remoteAddress, pending, clientClosed)) {
    }
    if (clientClosed) return;   // nothing more to hear from it, nothing to tell it
    // Close gently: a client still sending (a refused large body) would
    // otherwise get a reset instead of the answer it was sent. Briefly: a
    // client trickling bytes must not keep the connection this way.
    shutdown(client, SD_SEND);
    char sink[16 * 1024];
    const ULONGLONG deadline = GetTickCount64() + kMaxDrainMs;
    for (size_t drained = 0; drained < kMaxDrainBytes;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !WaitReadable(client, static_cast<unsigned long>(deadline - now))) break;
        int n = recv(client, sink, sizeof sink, 0);
        if (n <= 0) break;
        drained += static_cast<size_t>(n);
    }
}

bool BodyRelay::ServeOne(SOCKET client, const std::string& remoteAddress, std::string& data, bool& clientClosed) {
    // The head: everything up to the first empty line, within the deadline.
    RequestHeadScanner scanner;
    const ULONGLONG deadline = GetTickCount64() + headDeadlineMs_;
    char buffer[64 * 1024];
    HeadScan scan;
    while ((scan = scanner.Scan(data)) == HeadScan::NeedMore) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !WaitReadable(client, static_cast<unsigned long>(deadline - now))) {
            // A client that began a request hears why it ends; an idle
            // kept-alive connection just closes.
            return data.empty() ? false : SendStatus(client, 408);
        }
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
            clientClosed = true;
            return false;
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    if (scan == HeadScan::Refused) return SendStatus(client, scanner.Refusal());
    RequestHead request;
    if (int refusal = ParseRequestHead(data.substr(0, scanner.HeadSize()), maxBody_, request))
        return SendStatus(client, refusal);
    data.erase(0, scanner.HeadSize());

    // Only a path goes on to the Server API, which leaves any other request
    // target (absolute URL, authority, "*", a path without its "/")
    // unanswered. The relay answers those itself.
    if (request.method == "CONNECT") return SendStatus(client, 405, std::string("Allow: ") + kAllowedMethods + "\r\n");
    if (request.method == "OPTIONS" && request.target == "*") {
        if (request.contentLength > 0 || request.expectContinue) return SendStatus(client, 400);
        const std::string reply = std::string("HTTP/1.1 200 OK\r\nAllow: ") + kAllowedMethods +
                                  "\r\nContent-Length: 0\r\n" + (request.keepAlive ? "" : "Connection: close\r\n") +
                                  "\r\n";
        return SendAll(client, reply.data(), reply.size()) && request.keepAlive;
    }
    if ((request.target.empty() || request.target[0] != '/') && !passAnyTarget_) return SendStatus(client, 400);

    // The header lines passed on; the relay writes its own framing, Host
    // and marks, and a client's marks never get through.
    bool probe = false;
    Kept kept;
    std::string head = request.method + " " + request.target + " " + request.version + "\r\n";
    // Several Cookie lines are one list (the Server API would keep one).
    std::string cookies;
    bool hasCookies = false;
    for (const auto& field : request.fields) {
        if (_stricmp(field.first.c_str(), "Cookie") != 0) continue;
        if (hasCookies && !field.second.empty()) cookies += "; ";
        cookies += field.second;
        hasCookies = true;
    }
    const auto passOn = [&head, &kept](const std::string& name, const std::string& value) {
        // Wine's Server API refuses a value with bytes outside printable
        // ASCII (a raw UTF-8 cookie, say): such a header goes beside, as the
        // body does. An empty value is written without a blank after the
        // colon, which the Server API would misread for good.
        if (std::any_of(value.begin(), value.end(), [](char c) {
                return c != '\t' && (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F);
            }))
            kept.aside.emplace_back(name, value);
        else
            head += name + (value.empty() ? ":" : ": " + value) + "\r\n";
    };
    for (const auto& field : request.fields) {
        const char* name = field.first.c_str();
        if (_stricmp(name, kProbeHeader) == 0 && SameSecret(field.second, secret_)) probe = true;
        if (_stricmp(name, "Content-Length") == 0 || _stricmp(name, "Expect") == 0 || _stricmp(name, "Host") == 0 ||
            _stricmp(name, "Connection") == 0 || _stricmp(name, "Keep-Alive") == 0 ||
            _stricmp(name, "Cookie") == 0 || StartsWithNoCase(field.first, "X-Tarnwick-"))
            continue;
        passOn(field.first, field.second);
    }
    if (hasCookies) passOn("Cookie", cookies);

    // The body, whole; what follows it is the next request's.
    kept.remoteAddress = remoteAddress;
    kept.host = request.host;
    kept.probe = probe;
    kept.client = client;
    const bool read = ReadBody(client, request.contentLength, request.expectContinue, data, kept);
    std::string token = Keep(std::move(kept));
    if (!read) {
        Forget(token);
        return false;
    }
    head += "Host: 127.0.0.1:" + std::to_string(internalPort_) + "\r\n";
    head += std::string(kBodyHeader) + ": " + token + "\r\n";
    head += std::string(kSecretHeader) + ": " + secret_ + "\r\n";
    if (probe) head += std::string(kProbeHeader) + ": 1\r\n";
    head += "Content-Length: 0\r\n\r\n";

    std::string replyHead, replyBody;
    const Reply reply = Exchange(head, token, probe, !request.keepAlive, replyHead, replyBody);
    Forget(token);
    if (reply == Reply::Busy) {
        // The host runs a page: it is working, not hung.
        static const char kBusy[] = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        SendAll(client, kBusy, sizeof kBusy - 1);
        return false;
    }
    if (reply == Reply::TimedOut) return SendStatus(client, 503);
    if (replyHead.empty()) return SendStatus(client, 502);
    // A page's response goes out in one send when it is small (most are).
    if (replyBody.size() <= kJoinedReplyBytes) {
        replyHead += replyBody;
        replyBody.clear();
    }
    if (!SendAll(client, replyHead.data(), replyHead.size()) || !SendAll(client, replyBody.data(), replyBody.size()))
        return false;
    return reply == Reply::Done && request.keepAlive;
}

bool BodyRelay::ReadBody(SOCKET client, unsigned long long length, bool expectContinue, std::string& data,
                         Kept& kept) {
    kept.length = length;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (heldBodyBytes_ + length <= maxHeldBodyBytes_) {
            heldBodyBytes_ += static_cast<size_t>(length);
            kept.heldBytes = static_cast<size_t>(length);
        }
    }
    if (kept.heldBytes < length) {
        wchar_t folder[MAX_PATH], path[MAX_PATH];
        DWORD n = GetTempPathW(MAX_PATH, folder);
        if (n > 0 && n < MAX_PATH && GetTempFileNameW(folder, L"twb", 0, path))
            kept.spool.reset(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!kept.spool) return SendStatus(client, 503);
    } else {
        kept.body.reserve(static_cast<size_t>(length));
    }
    auto store = [&kept](const char* bytes, size_t size) {
        if (!kept.spool) {
            kept.body.append(bytes, size);
            return true;
        }
        DWORD written = 0;
        return WriteFile(kept.spool.get(), bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
    };
    const size_t arrived = static_cast<size_t>(std::min<unsigned long long>(data.size(), length));
    if (!store(data.data(), arrived)) return SendStatus(client, 503);
    data.erase(0, arrived);
    unsigned long long missing = length - arrived;
    if (missing > 0 && expectContinue) {
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        if (!SendAll(client, kContinue, sizeof kContinue - 1)) return false;
    }
    char buffer[64 * 1024];
    while (missing > 0) {
        if (!WaitReadable(client, kIdleMilliseconds)) return false;
        int n = recv(client, buffer, static_cast<int>(std::min<unsigned long long>(missing, sizeof buffer)), 0);
        if (n <= 0) return false;
        if (!store(buffer, static_cast<size_t>(n))) return SendStatus(client, 503);
        missing -= static_cast<unsigned long long>(n);
    }
    return true;
}

BodyRelay::Reply BodyRelay::Exchange(const std::string& head, const std::string& token, bool probe, bool closing,
                                     std::string& replyHead, std::string& replyBody) {
    // On a connection the Server API already took: it reads every connection
    // it has whenever it wakes, so requests on those go in side by side and
    // it takes no new connection, which it can leave unaccepted for good.
    while (OwnedSocket inner = TakeKeptConnection()) {
        bool reusable = false;
        Reply reply = Reply::Closing;
        if (SendAll(inner.get(), head.data(), head.size())) {
            // Wine's HTTP service can miss the news of a request on a
            // connection it has and sleep until something else happens on
            // its sockets; then it reads them all. Wake it until it has it.
            // The waking counts in the exchange's time limit.
            const ULONGLONG until = GetTickCount64() + apiAnswerMs_;
            bool handed = false;
            while (!(handed = HandedOver(inner.get(), token, kKeptHandOverMs)) && GetTickCount64() < until) WakeApi();
            reply = handed ? ReadResponse(inner.get(), token, closing, replyHead, replyBody, reusable)
                           : Reply::TimedOut;
        }
        if (!replyHead.empty() || reply == Reply::TimedOut || Reached(token)) {
            if (reusable) KeepConnection(std::move(inner));
            return reply;
        }
        // The connection had ended (the HTTP service started afresh, say)
        // before the request reached the host: another one.
        replyBody.clear();
    }

    // A new connection. One hand-over at a time: the Server API accepts one
    // new connection each time it wakes, and leaves the others waiting when
    // several arrive together. Once the host has the request (or after
    // kHandOverMs, when the Server API keeps it to itself and may never
    // answer) the next one goes in, and the pages run side by side.
    std::unique_lock<std::timed_mutex> one(apiMutex_, std::defer_lock);
    if (!probe) {
        one.lock();
    } else {
        while (!one.try_lock_for(std::chrono::milliseconds(kApiPollMs))) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (inHost_ > 0) return Reply::Busy;
        }
    }
    OwnedSocket inner{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
    if (!inner) return Reply::Closing;
    const sockaddr_in address = ApiAddress();
    DWORD sendLimit = apiAnswerMs_;
    setsockopt(inner.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimit), sizeof sendLimit);
    if (!ConnectWithin(inner.get(), address, apiAnswerMs_) || !SendAll(inner.get(), head.data(), head.size()))
        return Reply::Closing;
    if (!probe) {
        std::unique_lock<std::mutex> lock(mutex_);
        const unsigned long handOverMs = inHost_ > 0 ? busyHandOverMs_ : kHandOverMs;
        lock.unlock();
        HandedOver(inner.get(), token, handOverMs);
        one.unlock();
    }
    bool reusable = false;
    const Reply reply = ReadResponse(inner.get(), token, closing, replyHead, replyBody, reusable);
    if (reusable) KeepConnection(std::move(inner));
    return reply;
}

OwnedSocket BodyRelay::TakeKeptConnection() {
    for (;;) {
        OwnedSocket inner;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (keptConnections_.empty()) return OwnedSocket();
            inner = std::move(keptConnections_.back().socket);
            keptConnections_.pop_back();
        }
        // Anything to read on an idle connection is its end (or garbage).
        if (!WaitReadable(inner.get(), 0)) return inner;
    }
}

void BodyRelay::KeepConnection(OwnedSocket inner) {
    std::vector<IdleConnection> stale;   // closed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    // The least recently used come first; the most recent is taken first.
    const ULONGLONG now = GetTickCount64();
    auto fresh = std::find_if(keptConnections_.begin(), keptConnections_.end(),
                              [now](const IdleConnection& c) { return now - c.since < kKeptIdleMs; });
    std::move(keptConnections_.begin(), fresh, std::back_inserter(stale));
    keptConnections_.erase(keptConnections_.begin(), fresh);
    if (keptConnections_.size() < kMaxKeptApiConnections) keptConnections_.push_back(IdleConnection{std::move(inner), now});
}

sockaddr_in BodyRelay::ApiAddress() const {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(internalPort_);
    return address;
}

void BodyRelay::WakeApi() {
    // An idle connection that ends is news to the Server API; without one,
    // a new connection is.
    OwnedSocket knock = TakeKeptConnection();
    if (knock) return;
    knock.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!knock) return;
    const sockaddr_in address = ApiAddress();
    ConnectWithin(knock.get(), address, kKeptHandOverMs);
}

bool BodyRelay::Reached(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(token);
    return found != kept_.end() && found->second.reached;
}

bool BodyRelay::HandedOver(SOCKET inner, const std::string& token, unsigned long ms) {
    // Woken by Attach the moment the host has the request; the inner socket
    // (an answer of the Server API's own, or a close) is looked at between.
    // The socket is looked at only after a wait: the hand-over usually
    // comes first.
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (bool look = false;; look = true) {
        auto found = kept_.find(token);
        if (found != kept_.end() && found->second.reached) return true;
        if (look) {
            lock.unlock();
            const bool answered = WaitReadable(inner, 0);
            lock.lock();
            if (answered) return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        handedOver_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(kHandOverPollMs)));
    }
}

bool BodyRelay::WaitForApi(SOCKET inner, const std::string& token) {
    ULONGLONG deadline = GetTickCount64() + apiAnswerMs_;
    for (;;) {
        if (WaitReadable(inner, kApiPollMs)) return true;
        bool pageRuns = false;
        SOCKET client = INVALID_SOCKET;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto found = kept_.find(token);
            pageRuns = found != kept_.end() && found->second.inHost;
            if (found != kept_.end()) client = found->second.client;
        }
        // A client that left gives up its request: one still waiting for a
        // page thread then does not run (Abandoned).
        if (client != INVALID_SOCKET && ClientLeft(client)) return false;
        const ULONGLONG now = GetTickCount64();
        if (pageRuns)
            deadline = now + apiAnswerMs_;
        else if (now >= deadline)
            return false;
    }
}

BodyRelay::Reply BodyRelay::ReadResponse(SOCKET inner, const std::string& token, bool closing, std::string& head,
                                         std::string& body, bool& reusable) {
    reusable = false;
    // The response head as the Server API wrote it.
    std::string data;
    size_t headEnd = std::string::npos;
    char buffer[64 * 1024];
    while (headEnd == std::string::npos) {
        if (!WaitForApi(inner, token)) return Reply::TimedOut;
        int n = recv(inner, buffer, sizeof buffer, 0);
        if (n <= 0) return Reply::Closing;
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
    // The connection can carry another request when the response ended
    // exactly where its length says.
    if (kept) {
        reusable = hasLength && length == 0 && data.size() == headEnd + 4;
        return Reply::Done;
    }

    // A response of the Server API's own (small): its body as it comes.
    body = data.substr(headEnd + 4);
    if (!framed) {
        for (;;) {
            if (!WaitForApi(inner, token)) return Reply::TimedOut;
            int n = recv(inner, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            body.append(buffer, static_cast<size_t>(n));
        }
        return Reply::Closing;
    }
    while (body.size() < length) {
        if (!WaitForApi(inner, token)) return Reply::TimedOut;
        int n = recv(inner, buffer, sizeof buffer, 0);
        if (n <= 0) return Reply::Closing;
        body.append(buffer, static_cast<size_t>(n));
    }
    reusable = body.size() == length;
    body.resize(length);
    return Reply::Done;
}

bool BodyRelay::Abandoned(const HttpRequest& request) {
    if (request.relayToken.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return kept_.find(request.relayToken) == kept_.end();
}

void BodyRelay::Detach(const HttpRequest& request, HttpResponse& response) {
    if (request.relayToken.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(request.relayToken);
    if (found == kept_.end()) return;   // the client has gone: send as usual
    if (found->second.inHost) {
        // The page is done: the Server API's time limit runs again.
        found->second.inHost = false;
        --inHost_;
    }
    if (response.body.empty()) return;
    found->second.responseLength = response.body.size();
    if (!response.omitBody) found->second.response.swap(response.body);
    found->second.hasResponse = true;
    response.body.clear();
}

bool BodyRelay::Attach(HttpRequest& request) {
    std::string token, secret;
    HeaderList headers;
    for (auto& h : request.headers) {
        if (_stricmp(h.first.c_str(), kBodyHeader) == 0) token = h.second;
        else if (_stricmp(h.first.c_str(), kSecretHeader) == 0) secret = h.second;
        else if (_stricmp(h.first.c_str(), kProbeHeader) == 0 || _stricmp(h.first.c_str(), "Content-Length") == 0 ||
                 _stricmp(h.first.c_str(), "Connection") == 0 || _stricmp(h.first.c_str(), "Host") == 0)
            continue;
        else headers.push_back(h);
    }
    request.headers.swap(headers);
    // Without the secret the request did not come through the relay: the
    // queue refuses it (403).
    if (token.empty() || !SameSecret(secret, secret_)) return false;
    OwnedFile spool;
    unsigned long long length = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = kept_.find(token);
        if (found == kept_.end()) {
            // The relay gave up waiting and answered already: run nothing.
            if (!request.refusal) request.refusal = 503;
            return false;
        }
        Kept& kept = found->second;
        kept.reached = true;
        handedOver_.notify_all();
        if (kept.probe) return true;
        request.body.swap(kept.body);
        spool = std::move(kept.spool);
        length = kept.length;
        request.relayToken = token;
        request.remoteAddress = kept.remoteAddress;
        request.localPort = port_;
        if (!kept.host.empty()) request.headers.emplace(request.headers.begin(), "Host", kept.host);
        request.headers.insert(request.headers.end(), kept.aside.begin(), kept.aside.end());
        kept.inHost = true;
        ++inHost_;
    }
    // The entry stays for the response; the relay drops it when the connection is done.
    if (spool) {
        // A body that waited in a temporary file (deleted when closed).
        LARGE_INTEGER start = {};
        request.body.resize(static_cast<size_t>(length));
        DWORD got = 0;
        bool ok = SetFilePointerEx(spool.get(), start, nullptr, FILE_BEGIN) &&
                  (length == 0 || (ReadFile(spool.get(), &request.body[0], static_cast<DWORD>(length), &got, nullptr) &&
                                   got == length));
        if (!ok) {
            request.body.clear();
            if (!request.refusal) request.refusal = 500;
        }
    }
    if (!request.body.empty()) request.headers.emplace_back("Content-Length", std::to_string(request.body.size()));
    return false;
}

}  // namespace tarnwick::host
