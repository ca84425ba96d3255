// The framing of HTTP requests as the relay reads them off the network,
// the limits it holds clients to, and status texts. Narrow bytes; no I/O.
#pragma once

#include <string>

#include "host/net/HttpMessage.h"

namespace tarnwick::host {

// Limits the host answers with a 4xx status when a request exceeds them.
constexpr size_t kMaxUrlBytes = 8 * 1024;            // request target (414)
constexpr size_t kMaxHeaderBytes = 64 * 1024;        // all header lines (431)
constexpr size_t kMaxHeaderLineBytes = 16 * 1024;    // one header line (431); the
                                                     // Server API counts in 16 bits
constexpr size_t kMaxHeaderLines = 100;              // header lines (431); Wine's HTTP
                                                     // service dies on a few thousand
constexpr size_t kDefaultMaxBodyBytes = 64u << 20;   // body, option --max-body (413)
// The request line: the target and room for the method and the version.
constexpr size_t kMaxRequestLineBytes = kMaxUrlBytes + 32;
// A whole head: request line, header lines, their line ends and the empty
// line, and a few empty lines before the request line.
constexpr size_t kMaxHeadBytes = kMaxRequestLineBytes + kMaxHeaderBytes + 2 * kMaxHeaderLines + 64;

// The reason phrase of a status code ("Not Found"); "Unknown" for others.
const char* ReasonPhrase(int status);

// Request framing, as read off the network in front of the Server API.
// Strict, so that a proxy before the host and the host never disagree on
// where a request ends (a body read as a second request): every line ends
// with CR LF, header lines are "name: value" with a token name and the colon
// right after it, no line is folded (starts with a blank), and the body's
// length is one Content-Length of digits only; any Transfer-Encoding is
// refused (411), since the host reads no chunked bodies.
enum class HeadScan { NeedMore, Complete, Refused };

// Finds the end of a request head as its bytes arrive, refusing early what
// breaks a limit or a line rule, so that nobody waits for the rest of a head
// that will be refused. Empty lines before the request line are skipped.
class RequestHeadScanner {
public:
    // `data` holds every byte received so far; it only grows between calls.
    HeadScan Scan(const std::string& data);
    // After Complete: the head's size, its final empty line included.
    size_t HeadSize() const { return headSize_; }
    // After Refused: the status to answer (400, 414 or 431).
    int Refusal() const { return refusal_; }

private:
    HeadScan Refuse(int status);

    size_t lineStart_ = 0;      // first byte of the line not yet ended
    bool requestLine_ = false;  // the request line has ended
    size_t headerLines_ = 0;
    size_t headSize_ = 0;
    int refusal_ = 0;
};

struct RequestHead {
    std::string method;
    std::string target;           // as sent, still percent-encoded
    std::string version;          // "HTTP/1.1"
    HeaderList fields;              // header fields in order, values without surrounding blanks
    unsigned long long contentLength = 0;
    bool keepAlive = false;       // the connection may carry another request
    bool expectContinue = false;  // "Expect: 100-continue"
    std::string host;             // the Host field, or ""
};

// Parses a whole head (everything up to and with its empty line) by the
// rules above. Returns 0 with `head` filled, or the status to refuse the
// request with: 400 (syntax), 411 (Transfer-Encoding), 413 (Content-Length
// over maxBody), 414 (target), 431 (header lines or bytes).
int ParseRequestHead(const std::string& text, unsigned long long maxBody, RequestHead& head);

// True when a comma-separated field value ("keep-alive, Upgrade") holds the
// token, compared without regard to letter case.
bool HasToken(const std::string& value, const char* token);

}  // namespace tarnwick::host
