#include "host/net/HttpFraming.h"

#include <cstring>

#include "text/NarrowText.h"

namespace tarnwick::host {
using text::IsBlank;
using text::TrimBlanks;

const char* ReasonPhrase(int status) {
    switch (status) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Unknown";
    }
}

HeadScan RequestHeadScanner::Refuse(int status) {
    refusal_ = status;
    return HeadScan::Refused;
}

HeadScan RequestHeadScanner::Scan(const std::string& data) {
    if (refusal_) return HeadScan::Refused;
    if (headSize_) return HeadScan::Complete;
    for (;;) {
        const size_t lf = data.find('\n', lineStart_);
        const size_t limit = requestLine_ ? kMaxHeaderLineBytes : kMaxRequestLineBytes;
        const int tooLong = requestLine_ ? 431 : 414;
        if (lf == std::string::npos) {
            // A line still coming may already hold its CR.
            if (data.size() - lineStart_ > limit + 1) return Refuse(tooLong);
            if (data.size() > kMaxHeadBytes) return Refuse(431);
            return HeadScan::NeedMore;
        }
        if (lf == lineStart_ || data[lf - 1] != '\r') return Refuse(400);   // a bare LF
        const size_t length = lf - 1 - lineStart_;
        if (length > limit) return Refuse(tooLong);
        lineStart_ = lf + 1;
        if (lineStart_ > kMaxHeadBytes) return Refuse(431);
        if (length == 0) {
            if (!requestLine_) continue;   // an empty line before the request line
            headSize_ = lineStart_;
            return HeadScan::Complete;
        }
        if (!requestLine_)
            requestLine_ = true;
        else if (++headerLines_ > kMaxHeaderLines)
            return Refuse(431);
    }
}

namespace {

// Token characters of field names and methods.
bool IsTokenChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool IsToken(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsTokenChar(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

// "HTTP/" digit "." digit, of major version 1.
bool IsHttp1Version(const std::string& text) {
    return text.size() == 8 && text.compare(0, 7, "HTTP/1.") == 0 && text[7] >= '0' && text[7] <= '9';
}

// 1*DIGIT; values too large for 64 bits come out as the largest value.
bool ParseDigits(const std::string& text, unsigned long long& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (~0ULL - digit) / 10)
            value = ~0ULL;
        else
            value = value * 10 + digit;
    }
    return true;
}

}  // namespace

int ParseRequestHead(const std::string& text, unsigned long long maxBody, RequestHead& head) {
    head = RequestHead();
    RequestHeadScanner scanner;
    const HeadScan scan = scanner.Scan(text);
    if (scan == HeadScan::Refused) return scanner.Refusal();
    if (scan != HeadScan::Complete || scanner.HeadSize() != text.size()) return 400;

    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    size_t first = 0;
    while (lines[first].empty()) ++first;   // empty lines before the request line
    lines.pop_back();                       // the empty line that ends the head

    // method SP target SP version, single spaces.
    const std::string& requestLine = lines[first];
    const size_t sp1 = requestLine.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || requestLine.find(' ', sp2 + 1) != std::string::npos) return 400;
    head.method = requestLine.substr(0, sp1);
    head.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    head.version = requestLine.substr(sp2 + 1);
    if (!IsToken(head.method) || head.target.empty() || !IsHttp1Version(head.version)) return 400;
    for (char c : head.target)
        if (IsControl(static_cast<unsigned char>(c)) || c == '\t') return 400;
    if (head.target.size() > kMaxUrlBytes) return 414;

    bool hasLength = false;
    bool hasHost = false;
    bool chunked = false;
    bool closeAsked = false;
    bool keepAliveAsked = false;
    size_t headerBytes = 0;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        headerBytes += line.size() + 2;
        // A folded line continues the previous field: one more way to disagree.
        if (IsBlank(line[0])) return 400;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) return 400;
        std::string name = line.substr(0, colon);
        if (!IsToken(name)) return 400;   // also a blank before the colon
        std::string value = TrimBlanks(line.substr(colon + 1));
        for (char c : value)
            if (IsControl(static_cast<unsigned char>(c))) return 400;
        if (text::EqualIgnoringAsciiCase(name, "Content-Length")) {
            // One value, digits only: no sign, no list, no second field.
            if (hasLength || !ParseDigits(value, head.contentLength)) return 400;
            hasLength = true;
        } else if (text::EqualIgnoringAsciiCase(name, "Transfer-Encoding")) {
            chunked = true;
        } else if (text::EqualIgnoringAsciiCase(name, "Host")) {
            if (hasHost) return 400;
            hasHost = true;
            head.host = value;
        } else if (text::EqualIgnoringAsciiCase(name, "Connection")) {
            closeAsked = closeAsked || HasToken(value, "close");
            keepAliveAsked = keepAliveAsked || HasToken(value, "keep-alive");
        } else if (text::EqualIgnoringAsciiCase(name, "Expect")) {
            head.expectContinue = text::EqualIgnoringAsciiCase(value, "100-continue");
        }
        head.fields.emplace_back(std::move(name), std::move(value));
    }
    if (headerBytes > kMaxHeaderBytes) return 431;
    if (chunked) return 411;
    if (head.contentLength > maxBody) return 413;
    // HTTP/1.0 closes after each response unless asked otherwise.
    head.keepAlive = !closeAsked && (head.version != "HTTP/1.0" || keepAliveAsked);
    return 0;
}

bool HasToken(const std::string& value, const char* token) {
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(',', start);
        if (end == std::string::npos) end = value.size();
        if (text::EqualIgnoringAsciiCase(TrimBlanks(value.substr(start, end - start)), token)) return true;
        start = end + 1;
    }
    return false;
}


}  // namespace tarnwick::host
