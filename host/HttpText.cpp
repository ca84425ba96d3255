#include "host/HttpText.h"

#include <cstring>

namespace tarnwick::host {
namespace {

// Status codes have exactly this many digits.
constexpr size_t kStatusDigits = 3;
constexpr int kMinStatus = 100;
constexpr int kMaxStatus = 599;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A GBK character is a lead byte and a trail byte; the trail byte may look
// like a backslash (0x5C), so a pair is taken as one character.
bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }
bool StartsPair(const std::string& text, size_t i) {
    return i + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[i])) &&
           IsTrailByte(static_cast<unsigned char>(text[i + 1]));
}

// Bytes a Windows file name cannot hold or that would change its meaning.
bool IsRefusedByte(unsigned char b) {
    return b < 0x20 || b == 0x7F || (b != 0 && std::strchr("\\:<>\"|?*", b) != nullptr);
}

// Adds the '/'-separated segments of path to segments: empty and "."
// segments are dropped; ".." removes the last segment when allowParent and
// there is one, and refuses otherwise. False on any refused byte or segment.
bool AddSegments(const std::string& path, bool allowParent, std::vector<std::string>& segments) {
    std::string segment;
    auto finish = [&]() {
        if (segment.empty() || segment == ".") {
            // dropped
        } else if (segment == "..") {
            if (!allowParent || segments.empty()) return false;
            segments.pop_back();
        } else if (segment.back() == '.' || segment.back() == ' ') {
            // Windows strips these, so "a.asp." would name "a.asp" and skip the script map.
            return false;
        } else {
            segments.push_back(segment);
        }
        segment.clear();
        return true;
    };
    for (size_t i = 0; i < path.size(); ++i) {
        if (StartsPair(path, i)) {
            segment += path[i];
            segment += path[++i];
        } else if (path[i] == '/') {
            if (!finish()) return false;
        } else if (IsRefusedByte(static_cast<unsigned char>(path[i]))) {
            return false;
        } else {
            segment += path[i];
        }
    }
    return finish();
}

std::string JoinSegments(const std::vector<std::string>& segments) {
    std::string joined;
    for (const std::string& segment : segments) {
        if (!joined.empty()) joined += '/';
        joined += segment;
    }
    return joined;
}

void AddPair(const std::string& name, const std::string& value, bool plusIsSpace, NameValues& out) {
    out.emplace_back(PercentDecode(name, plusIsSpace), PercentDecode(value, plusIsSpace));
}

}  // namespace

std::string PercentDecode(const std::string& text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            decoded += ' ';
        } else {
            decoded += c;
        }
    }
    return decoded;
}

std::string UrlEncode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size());
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')) {
            encoded += c;
        } else if (b == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += kHex[b >> 4];
            encoded += kHex[b & 0x0F];
        }
    }
    return encoded;
}

NameValues ParseUrlEncoded(const std::string& text) {
    NameValues pairs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string piece = text.substr(start, end - start);
        if (!piece.empty()) {
            const size_t eq = piece.find('=');
            if (eq == std::string::npos)
                AddPair(piece, "", true, pairs);
            else
                AddPair(piece.substr(0, eq), piece.substr(eq + 1), true, pairs);
        }
        start = end + 1;
    }
    return pairs;
}

NameValues ParseCookieHeader(const std::string& header) {
    NameValues pairs;
    size_t start = 0;
    while (start <= header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos) end = header.size();
        const std::string piece = TrimBlanks(header.substr(start, end - start));
        if (!piece.empty()) {
            const size_t eq = piece.find('=');
            // Only values are decoded: names are tokens.
            if (eq == std::string::npos)
                pairs.emplace_back(piece, "");
            else
                pairs.emplace_back(TrimBlanks(piece.substr(0, eq)),
                                   PercentDecode(TrimBlanks(piece.substr(eq + 1)), false));
        }
        start = end + 1;
    }
    return pairs;
}

bool ToSitePath(const std::string& rawPath, std::string& sitePath) {
    // In a path '+' is a literal plus.
    std::vector<std::string> segments;
    if (!AddSegments(PercentDecode(rawPath, false), false, segments)) return false;
    sitePath = JoinSegments(segments);
    return true;
}

bool ResolveInclude(const std::string& includingSitePath, const std::string& reference, bool isVirtual,
                    std::string& sitePath) {
    std::vector<std::string> segments;
    if (!isVirtual) {
        if (!AddSegments(includingSitePath, false, segments)) return false;
        if (!segments.empty()) segments.pop_back();  // the including file's own name
    }
    // Pages often write include paths with backslashes.
    std::string slashed = reference;
    for (size_t i = 0; i < slashed.size(); ++i) {
        if (StartsPair(slashed, i))
            ++i;
        else if (slashed[i] == '\\')
            slashed[i] = '/';
    }
    if (!AddSegments(slashed, true, segments)) return false;
    sitePath = JoinSegments(segments);
    return true;
}

std::string ContentTypeFor(const std::string& fileName) {
    static const struct {
        const char* extension;
        const char* type;
    } kTypes[] = {
        {"html", "text/html"},
        {"htm", "text/html"},
        {"css", "text/css"},
        {"js", "application/javascript"},
        {"json", "application/json"},
        {"txt", "text/plain"},
        {"xml", "text/xml"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},
        {"ico", "image/x-icon"},
        {"svg", "image/svg+xml"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"wasm", "application/wasm"},
    };
    const size_t dot = fileName.rfind('.');
    const size_t slash = fileName.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return "application/octet-stream";
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension) c = LowerAscii(c);
    for (const auto& entry : kTypes)
        if (extension == entry.extension) return entry.type;
    return "application/octet-stream";
}

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

bool SameNameNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

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
        if (SameNameNoCase(name, "Content-Length")) {
            // One value, digits only: no sign, no list, no second field.
            if (hasLength || !ParseDigits(value, head.contentLength)) return 400;
            hasLength = true;
        } else if (SameNameNoCase(name, "Transfer-Encoding")) {
            chunked = true;
        } else if (SameNameNoCase(name, "Host")) {
            if (hasHost) return 400;
            hasHost = true;
            head.host = value;
        } else if (SameNameNoCase(name, "Connection")) {
            closeAsked = closeAsked || HasToken(value, "close");
            keepAliveAsked = keepAliveAsked || HasToken(value, "keep-alive");
        } else if (SameNameNoCase(name, "Expect")) {
            head.expectContinue = SameNameNoCase(value, "100-continue");
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
        if (SameNameNoCase(TrimBlanks(value.substr(start, end - start)), token)) return true;
        start = end + 1;
    }
    return false;
}

std::string SitePathUrl(const std::string& sitePath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "/";
    for (char c : sitePath) {
        const unsigned char b = static_cast<unsigned char>(c);
        // A second '/' in a row is escaped: "//x" would name another host.
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            (b != 0 && std::strchr("-._~", b) != nullptr) || (b == '/' && url.back() != '/')) {
            url += c;
        } else {
            url += '%';
            url += kHex[b >> 4];
            url += kHex[b & 0x0F];
        }
    }
    return url;
}

bool ParseStatusLine(const std::string& text, int& status, std::string& reason) {
    const std::string line = TrimBlanks(text);
    if (line.size() < kStatusDigits) return false;
    int code = 0;
    for (size_t i = 0; i < kStatusDigits; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        code = code * 10 + (line[i] - '0');
    }
    if (code < kMinStatus || code > kMaxStatus) return false;
    // "2000" or "200OK" is not a three-digit code followed by a reason.
    if (line.size() > kStatusDigits && !IsBlank(line[kStatusDigits])) return false;
    std::string rest = TrimBlanks(line.substr(kStatusDigits));
    // The reason goes into the response's status line: a line break would start a header.
    for (char c : rest)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return false;
    status = code;
    reason = rest.empty() ? ReasonPhrase(code) : rest;
    return true;
}

}  // namespace tarnwick::host
