#include <winsock2.h>
#include <ws2tcpip.h>

#include "host/net/HttpQueue.h"

#include <http.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/net/AddressText.h"
#include "host/net/HttpFraming.h"
#include "host/net/Owned.h"
#include "host/net/Secrets.h"

namespace tarnwick::host {

namespace {

// Header names in the order of the API's request header ids.
const char* const kRequestHeaderNames[HttpHeaderRequestMaximum] = {
    "Cache-Control", "Connection", "Date", "Keep-Alive", "Pragma", "Trailer", "Transfer-Encoding", "Upgrade",
    "Via", "Warning", "Allow", "Content-Length", "Content-Type", "Content-Encoding", "Content-Language",
    "Content-Location", "Content-MD5", "Content-Range", "Expires", "Last-Modified", "Accept", "Accept-Charset",
    "Accept-Encoding", "Accept-Language", "Authorization", "Cookie", "Expect", "From", "Host", "If-Match",
    "If-Modified-Since", "If-None-Match", "If-Range", "If-Unmodified-Since", "Max-Forwards",
    "Proxy-Authorization", "Referer", "Range", "TE", "Translate", "User-Agent"};

// Response headers with a slot of their own; every other name (and each
// Set-Cookie, which may repeat) goes out as an "unknown" header.
const char* const kResponseHeaderNames[HttpHeaderResponseMaximum] = {
    "Cache-Control", "Connection", "Date", "Keep-Alive", "Pragma", "Trailer", "Transfer-Encoding", "Upgrade",
    "Via", "Warning", "Allow", "Content-Length", "Content-Type", "Content-Encoding", "Content-Language",
    "Content-Location", "Content-MD5", "Content-Range", "Expires", "Last-Modified", "Accept-Ranges", "Age",
    "ETag", "Location", "Proxy-Authenticate", "Retry-After", "Server", "Set-Cookie", "Vary",
    "WWW-Authenticate"};

const char* const kVerbNames[] = {"", "", "", "OPTIONS", "GET", "HEAD", "POST", "PUT", "DELETE", "TRACE",
                                  "CONNECT", "TRACK", "MOVE", "COPY", "PROPFIND", "PROPPATCH", "MKCOL", "LOCK",
                                  "UNLOCK", "SEARCH"};

// The first request read is this large; a request with longer headers is
// read again into a buffer of the size the API asks for, up to the limit.
constexpr ULONG kFirstReadBytes = 16 * 1024;
constexpr ULONG kMaxRequestHeadBytes = kMaxUrlBytes + kMaxHeaderBytes + 4096;
constexpr ULONG kBodyReadBytes = 256 * 1024;

bool SameName(const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; }

// Copies what the API parsed into the host's own request.
void CopyRequest(const HTTP_REQUEST* r, HttpRequest& request) {
    request.id = r->RequestId;
    if (r->Verb == HttpVerbUnknown && r->pUnknownVerb)
        request.method.assign(r->pUnknownVerb, r->UnknownVerbLength);
    else if (r->Verb >= 0 && static_cast<size_t>(r->Verb) < sizeof kVerbNames / sizeof kVerbNames[0])
        request.method = kVerbNames[r->Verb];
    char version[32];
    snprintf(version, sizeof version, "HTTP/%u.%u", r->Version.MajorVersion, r->Version.MinorVersion);
    request.protocol = version;
    std::string url(r->pRawUrl ? r->pRawUrl : "", r->pRawUrl ? r->RawUrlLength : 0);
    size_t question = url.find('?');
    request.rawPath = url.substr(0, question);
    request.query = question == std::string::npos ? std::string() : url.substr(question + 1);
    // An absolute-form target ("http://host/path") keeps only its path.
    if (request.rawPath.compare(0, 7, "http://") == 0) {
        size_t slash = request.rawPath.find('/', 7);
        request.rawPath = slash == std::string::npos ? "/" : request.rawPath.substr(slash);
    }
    size_t headerBytes = 0;
    for (int i = 0; i < HttpHeaderRequestMaximum; ++i) {
        const HTTP_KNOWN_HEADER& h = r->Headers.KnownHeaders[i];
        if (!h.pRawValue) continue;
        request.headers.emplace_back(kRequestHeaderNames[i], std::string(h.pRawValue, h.RawValueLength));
        headerBytes += h.RawValueLength + strlen(kRequestHeaderNames[i]) + 4;
        if (h.RawValueLength > kMaxHeaderLineBytes) request.refusal = 431;
    }
    for (USHORT i = 0; i < r->Headers.UnknownHeaderCount; ++i) {
        const HTTP_UNKNOWN_HEADER& h = r->Headers.pUnknownHeaders[i];
        request.headers.emplace_back(std::string(h.pName, h.NameLength), std::string(h.pRawValue, h.RawValueLength));
        headerBytes += h.NameLength + h.RawValueLength + 4;
        if (h.RawValueLength > kMaxHeaderLineBytes) request.refusal = 431;
    }
    request.remoteAddress = AddressText(r->Address.pRemoteAddress);
    request.localAddress = AddressText(r->Address.pLocalAddress, &request.localPort);
    if (url.size() > kMaxUrlBytes)
        request.refusal = 414;
    else if (headerBytes > kMaxHeaderBytes)
        request.refusal = 431;
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& h : headers)
        if (SameName(h.first, name.c_str())) return h.second;
    return std::string();
}

HttpQueue::~HttpQueue() {
    // The Server API writes into a posted receive's buffer until it ends.
    for (PostedReceive& posted : posted_) {
        if (!posted.pending) continue;
        ULONG got = 0;
        CancelIoEx(queue_.get(), &posted.overlapped);
        GetOverlappedResult(queue_.get(), &posted.overlapped, &got, TRUE);
    }
    if (queue_ && !url_.empty()) HttpRemoveUrl(queue_.get(), url_.c_str());
    queue_.reset();   // before the API ends
    if (initialized_) HttpTerminate(HTTP_INITIALIZE_SERVER, nullptr);
}

bool HttpQueue::Open(const std::wstring& urlPrefix, std::string& error) {
    HTTPAPI_VERSION version = HTTPAPI_VERSION_1;
    ULONG rc = NO_ERROR;
    // The HTTP service may still be starting (a fresh Wine prefix answers
    // "service timeout" or "database locked" for a few seconds).
    for (int attempt = 0; attempt < 60; ++attempt) {
        rc = HttpInitialize(version, HTTP_INITIALIZE_SERVER, nullptr);
        if (rc != ERROR_SERVICE_REQUEST_TIMEOUT && rc != ERROR_SERVICE_DATABASE_LOCKED) break;
        Sleep(500);
    }
    if (rc != NO_ERROR) {
        error = "HttpInitialize failed with error " + std::to_string(rc);
        return false;
    }
    initialized_ = true;
    rc = HttpCreateHttpHandle(queue_.put(), 0);
    if (rc != NO_ERROR) {
        error = "HttpCreateHttpHandle failed with error " + std::to_string(rc);
        return false;
    }
    rc = HttpAddUrl(queue_.get(), urlPrefix.c_str(), nullptr);
    if (rc != NO_ERROR) {
        error = "cannot listen on the address (HttpAddUrl error " + std::to_string(rc) + ")";
        return false;
    }
    url_ = urlPrefix;
    return true;
}

void HttpQueue::Post(PostedReceive& posted) {
    if (!anyDone_) anyDone_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    posted.buffer.assign(kFirstReadBytes, 0);
    memset(&posted.overlapped, 0, sizeof posted.overlapped);
    posted.overlapped.Internal = STATUS_PENDING;
    posted.overlapped.hEvent = anyDone_.get();
    posted.order = ++postings_;
    posted.pending = true;
    const ULONG rc = HttpReceiveHttpRequest(queue_.get(), HTTP_NULL_ID, 0,
                                            reinterpret_cast<HTTP_REQUEST*>(posted.buffer.data()),
                                            static_cast<ULONG>(posted.buffer.size()), nullptr, &posted.overlapped);
    // Ended at once: a request was ready (the overlapped result tells, as
    // for one that ends later), or the receive failed (the queue is shut).
    posted.failed = rc == NO_ERROR || rc == ERROR_IO_PENDING || rc == ERROR_MORE_DATA ? NO_ERROR : rc;
    if (rc != ERROR_IO_PENDING) SetEvent(anyDone_.get());
}

ULONG HttpQueue::NextPosted(std::vector<char>& buffer, ULONG& got) {
    for (PostedReceive& posted : posted_)
        if (!posted.pending) Post(posted);
    // The earliest posted of those that ended holds the earliest request.
    // The event is reset before looking, so that an end after the look
    // sets it again.
    PostedReceive* first = nullptr;
    for (;;) {
        ResetEvent(anyDone_.get());
        for (PostedReceive& posted : posted_) {
            const bool ended = posted.failed != NO_ERROR || HasOverlappedIoCompleted(&posted.overlapped);
            if (posted.pending && ended && (!first || posted.order < first->order)) first = &posted;
        }
        if (first) break;
        if (WaitForSingleObject(anyDone_.get(), INFINITE) == WAIT_FAILED) return ERROR_INVALID_HANDLE;
    }
    ULONG rc = first->failed;
    got = 0;
    if (rc == NO_ERROR && !GetOverlappedResult(queue_.get(), &first->overlapped, &got, FALSE)) rc = GetLastError();
    first->pending = false;
    buffer.swap(first->buffer);
    // Another receive waits in its place at once, unless the queue is done.
    if (rc == NO_ERROR || rc == ERROR_MORE_DATA || rc == ERROR_CONNECTION_INVALID) Post(*first);
    return rc;
}

bool HttpQueue::Receive(HttpRequest& request, size_t maxBody) {
    for (;;) {
        request = HttpRequest();
        std::vector<char> buffer;
        ULONG got = 0;
        ULONG rc = NextPosted(buffer, got);
        HTTP_REQUEST_ID id = HTTP_NULL_ID;
        while (rc == ERROR_MORE_DATA) {
            // The head is larger than the first read: read it again whole.
            auto* r = reinterpret_cast<HTTP_REQUEST*>(buffer.data());
            id = r->RequestId;
            if (got > kMaxRequestHeadBytes) break;
            buffer.resize(got);
            r = reinterpret_cast<HTTP_REQUEST*>(buffer.data());
            rc = HttpReceiveHttpRequest(queue_.get(), id, 0, r, static_cast<ULONG>(buffer.size()), &got, nullptr);
        }
        if (rc == ERROR_MORE_DATA) {
            // Too large to even read: answer without looking further.
            request.id = id;
            request.method = "GET";
            request.refusal = 431;
            return true;
        }
        if (rc == ERROR_CONNECTION_INVALID) continue;   // the client left
        if (rc != NO_ERROR) return false;                // shut down
        const auto* r = reinterpret_cast<const HTTP_REQUEST*>(buffer.data());
        CopyRequest(r, request);
        if (!requiredName_.empty() && !SameSecret(request.Header(requiredName_), requiredValue_)) {
            request.refusal = 403;
            return true;
        }
        if (request.refusal) return true;
        if (!(r->Flags & HTTP_REQUEST_FLAG_MORE_ENTITY_BODY_EXISTS)) return true;

        std::string length = request.Header("Content-Length");
        if (!length.empty() && strtoull(length.c_str(), nullptr, 10) > maxBody) {
            request.refusal = 413;
            return true;
        }
        std::vector<char> chunk(kBodyReadBytes);
        for (;;) {
            ULONG n = 0;
            rc = HttpReceiveRequestEntityBody(queue_.get(), request.id, 0, chunk.data(), static_cast<ULONG>(chunk.size()),
                                              &n, nullptr);
            if (rc != NO_ERROR && rc != ERROR_HANDLE_EOF) break;
            request.body.append(chunk.data(), n);
            if (request.body.size() > maxBody) {
                request.body.clear();
                request.refusal = 413;
                return true;
            }
            if (rc == ERROR_HANDLE_EOF) break;
        }
        if (rc != NO_ERROR && rc != ERROR_HANDLE_EOF) continue;   // the client left mid-body
        return true;
    }
}

void HttpQueue::Send(const HttpRequest& request, const HttpResponse& response) {
    HTTP_RESPONSE r;
    memset(&r, 0, sizeof r);
    r.Version.MajorVersion = 1;
    r.Version.MinorVersion = 1;
    r.StatusCode = static_cast<USHORT>(response.status);
    r.pReason = response.reason.c_str();
    r.ReasonLength = static_cast<USHORT>(response.reason.size());
    std::vector<HTTP_UNKNOWN_HEADER> unknown;
    unknown.reserve(response.headers.size());
    for (const auto& h : response.headers) {
        int slot = -1;
        for (int i = 0; i < HttpHeaderResponseMaximum; ++i)
            if (SameName(h.first, kResponseHeaderNames[i])) slot = i;
        if (slot == HttpHeaderSetCookie || slot == HttpHeaderContentLength) slot = -1;
        if (SameName(h.first, "Content-Length")) continue;   // the API counts the body itself
        if (slot >= 0) {
            r.Headers.KnownHeaders[slot].pRawValue = h.second.c_str();
            r.Headers.KnownHeaders[slot].RawValueLength = static_cast<USHORT>(h.second.size());
        } else {
            HTTP_UNKNOWN_HEADER u;
            u.pName = h.first.c_str();
            u.NameLength = static_cast<USHORT>(h.first.size());
            u.pRawValue = h.second.c_str();
            u.RawValueLength = static_cast<USHORT>(h.second.size());
            unknown.push_back(u);
        }
    }
    r.Headers.UnknownHeaderCount = static_cast<USHORT>(unknown.size());
    r.Headers.pUnknownHeaders = unknown.empty() ? nullptr : unknown.data();
    HTTP_DATA_CHUNK chunk;
    memset(&chunk, 0, sizeof chunk);
    if (!response.body.empty() && !response.omitBody) {
        chunk.DataChunkType = HttpDataChunkFromMemory;
        chunk.FromMemory.pBuffer = const_cast<char*>(response.body.data());
        chunk.FromMemory.BufferLength = static_cast<ULONG>(response.body.size());
        r.EntityChunkCount = 1;
        r.pEntityChunks = &chunk;
    }
    ULONG sent = 0;
    std::lock_guard<std::mutex> one(sending_);
    HttpSendHttpResponse(queue_.get(), request.id, 0, &r, nullptr, &sent, nullptr, 0, nullptr, nullptr);
}

void HttpQueue::Shutdown() {
    if (queue_) HttpShutdownRequestQueue(queue_.get());
}

void HttpQueue::RequireHeader(const std::string& name, const std::string& value) {
    requiredName_ = name;
    requiredValue_ = value;
}

bool EndWineHttpService() {
    // Wine runs the service's driver (http.sys) in a driver host process of
    // its own; the service manager starts a new one when asked again.
    OwnedFile processes{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (!processes) return false;
    bool ended = false;
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    for (BOOL more = Process32FirstW(processes.get(), &process); more;
         more = Process32NextW(processes.get(), &process)) {
        if (_wcsicmp(process.szExeFile, L"winedevice.exe") != 0) continue;
        OwnedFile modules{CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID)};
        if (!modules) continue;
        bool runsHttp = false;
        MODULEENTRY32W module = {};
        module.dwSize = sizeof module;
        for (BOOL m = Module32FirstW(modules.get(), &module); m && !runsHttp; m = Module32NextW(modules.get(), &module))
            runsHttp = _wcsicmp(module.szModule, L"http.sys") == 0;
        if (!runsHttp) continue;
        OwnedHandle host{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.th32ProcessID)};
        if (host && TerminateProcess(host.get(), 1)) {
            WaitForSingleObject(host.get(), 5000);
            ended = true;
        }
    }
    return ended;
}

}  // namespace tarnwick::host
