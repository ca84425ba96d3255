// The page host's HTTP text work over one input, read as everything a
// client can send: a request head as it arrives off the network (framing,
// then parsing), and the same bytes as a query string or url-encoded form, a
// Cookie header, a request path, an include reference, a file name and a
// status line.
//
// Invariants:
//   - framing: scanning the bytes as they arrive, in pieces of any size,
//     ends as scanning them at once does (same result, head size, refusal),
//     and a result, once reached, never changes; a complete head ends with
//     its empty line, and every line of it ends with CR LF; ParseRequestHead
//     refuses with the scanner's status what the scanner refuses; a parsed
//     head holds only well-formed parts, no Transfer-Encoding, at most one
//     Content-Length within the body limit, and parses again to the same
//     head when written out again from its parts; a lower body limit only
//     adds 413;
//   - decoding never lengthens text; UrlEncode's output decodes back;
//     url-encoded pairs written out again parse to the same pairs;
//   - a site path (from ToSitePath or ResolveInclude) is clean: it survives
//     SitePathUrl and ToSitePath unchanged, and a virtual include does not
//     depend on the including page;
//   - a parsed status line carries a code from 100 to 599 and a reason
//     without control bytes, and parses again to the same.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/checks/Check.h"
#include "host/site/UrlText.h"

namespace tarnwick::fuzz {
namespace http_text {

inline bool IsTokenChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos);
}

inline bool IsToken(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return IsTokenChar(static_cast<unsigned char>(c));
    });
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline bool IsTrimmed(const std::string& text) {
    return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

inline std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

inline bool IsCleanSitePath(const std::string& path) {
    std::string back;
    if (!host::ToSitePath(host::SitePathUrl(path), back) || back != path) return false;
    const std::string url = host::SitePathUrl(path);
    return url.size() >= 1 && url[0] == '/' && url.find("//") == std::string::npos;
}

// The scanner fed the bytes in pieces whose sizes come from the bytes.
struct ScanResult {
    host::HeadScan scan;
    std::size_t headSize;
    int refusal;
};

inline ScanResult ScanAtOnce(const std::string& data) {
    host::RequestHeadScanner scanner;
    const host::HeadScan scan = scanner.Scan(data);
    return {scan, scanner.HeadSize(), scanner.Refusal()};
}

inline ScanResult ScanInPieces(const std::string& data, std::size_t largestPiece) {
    host::RequestHeadScanner scanner;
    std::string received;
    unsigned state = static_cast<unsigned>(data.size()) * 2654435761u + 1;
    host::HeadScan scan = host::HeadScan::NeedMore;
    bool decided = false;
    ScanResult first{};
    while (received.size() < data.size()) {
        state = state * 1103515245u + 12345u;
        const std::size_t piece = 1 + (state >> 8) % largestPiece;
        received.append(data, received.size(), piece);
        scan = scanner.Scan(received);
        if (decided) {
            // A result, once reached, stays.
            FUZZ_CHECK(scan == first.scan && scanner.HeadSize() == first.headSize &&
                       scanner.Refusal() == first.refusal);
        } else if (scan != host::HeadScan::NeedMore) {
            decided = true;
            first = {scan, scanner.HeadSize(), scanner.Refusal()};
        }
    }
    if (data.empty()) scan = scanner.Scan(received);
    return {scan, scanner.HeadSize(), scanner.Refusal()};
}

inline void CheckScans(const std::string& data, std::size_t largestPiece) {
    const ScanResult whole = ScanAtOnce(data);
    const ScanResult pieces = ScanInPieces(data, largestPiece);
    FUZZ_CHECK(whole.scan == pieces.scan);
    FUZZ_CHECK(whole.headSize == pieces.headSize);
    FUZZ_CHECK(whole.refusal == pieces.refusal);
    if (whole.scan == host::HeadScan::Refused) {
        FUZZ_CHECK(whole.refusal == 400 || whole.refusal == 414 || whole.refusal == 431);
        host::RequestHead head;
        FUZZ_CHECK(host::ParseRequestHead(data, host::kDefaultMaxBodyBytes, head) == whole.refusal);
    }
    if (whole.scan == host::HeadScan::Complete) {
        FUZZ_CHECK(whole.headSize >= 4 && whole.headSize <= data.size() && whole.headSize <= host::kMaxHeadBytes);
        FUZZ_CHECK(data.compare(whole.headSize - 4, 4, "\r\n\r\n") == 0);
        for (std::size_t i = 0; i < whole.headSize; ++i)
            if (data[i] == '\n') FUZZ_CHECK(i > 0 && data[i - 1] == '\r');
    }
}

inline std::string WriteHead(const host::RequestHead& head) {
    std::string text = head.method + " " + head.target + " " + head.version + "\r\n";
    for (const auto& [name, value] : head.fields) text += name + ": " + value + "\r\n";
    return text + "\r\n";
}

inline bool SameHead(const host::RequestHead& a, const host::RequestHead& b) {
    return a.method == b.method && a.target == b.target && a.version == b.version && a.fields == b.fields &&
           a.contentLength == b.contentLength && a.keepAlive == b.keepAlive &&
           a.expectContinue == b.expectContinue && a.host == b.host;
}

inline void CheckParsedHead(const host::RequestHead& head, unsigned long long maxBody) {
    FUZZ_CHECK(IsToken(head.method));
    FUZZ_CHECK(!head.target.empty() && head.target.size() <= host::kMaxUrlBytes);
    for (char c : head.target) {
        const unsigned char b = static_cast<unsigned char>(c);
        FUZZ_CHECK(b > 0x20 && b != 0x7F);
    }
    FUZZ_CHECK(head.version.size() == 8 && head.version.compare(0, 7, "HTTP/1.") == 0);
    FUZZ_CHECK(head.fields.size() <= host::kMaxHeaderLines);
    int lengths = 0;
    bool hasHost = false;
    for (const auto& [name, value] : head.fields) {
        FUZZ_CHECK(IsToken(name));
        FUZZ_CHECK(IsTrimmed(value));
        for (char c : value) {
            const unsigned char b = static_cast<unsigned char>(c);
            FUZZ_CHECK((b >= 0x20 || b == '\t') && b != 0x7F);
        }
        const std::string lower = Lower(name);
        FUZZ_CHECK(lower != "transfer-encoding");
        if (lower == "content-length") ++lengths;
        if (lower == "host") {
            FUZZ_CHECK(!hasHost && head.host == value);
            hasHost = true;
        }
    }
    FUZZ_CHECK(lengths <= 1);
    FUZZ_CHECK(hasHost || head.host.empty());
    FUZZ_CHECK(head.contentLength <= maxBody);
    if (head.version == "HTTP/1.0") {
        bool keepAliveAsked = false;
        for (const auto& [name, value] : head.fields)
            keepAliveAsked = keepAliveAsked || (Lower(name) == "connection" && host::HasToken(value, "keep-alive"));
        FUZZ_CHECK(!head.keepAlive || keepAliveAsked);
    }

    // Written out again from its parts, the head parses to the same.
    host::RequestHead again;
    FUZZ_CHECK(host::ParseRequestHead(WriteHead(head), maxBody, again) == 0);
    FUZZ_CHECK(SameHead(head, again));

    // The target as the host uses it: path and query.
    const std::size_t query = head.target.find('?');
    std::string sitePath;
    if (host::ToSitePath(head.target.substr(0, query), sitePath)) FUZZ_CHECK(IsCleanSitePath(sitePath));
    if (query != std::string::npos) host::ParseUrlEncoded(head.target.substr(query + 1));
    for (const auto& [name, value] : head.fields)
        if (Lower(name) == "cookie") host::ParseCookieHeader(value);
}

inline void CheckFraming(const std::string& text) {
    CheckScans(text, 1 + text.size() / 3 + (text.empty() ? 0 : static_cast<unsigned char>(text[0]) % 7));

    // The limits lie past the fuzzer's input sizes: the input repeated to
    // beyond a whole head's limit, in larger pieces.
    if (!text.empty()) {
        std::string grown;
        while (grown.size() <= host::kMaxHeadBytes + 64) grown += text;
        CheckScans(grown, 4096);
    }

    // The head the scanner finds, parsed; the whole input only when it is that head.
    host::RequestHeadScanner scanner;
    if (scanner.Scan(text) != host::HeadScan::Complete) return;
    const std::string headText = text.substr(0, scanner.HeadSize());
    host::RequestHead whole;
    const int wholeStatus = host::ParseRequestHead(text, host::kDefaultMaxBodyBytes, whole);
    constexpr unsigned long long kSmallLimit = 100;
    host::RequestHead head, limited;
    const int status = host::ParseRequestHead(headText, ~0ULL, head);
    const int limitedStatus = host::ParseRequestHead(headText, kSmallLimit, limited);
    FUZZ_CHECK(status == 0 || status == 400 || status == 411 || status == 414 || status == 431);
    if (headText.size() != text.size()) {
        FUZZ_CHECK(wholeStatus == 400);
    } else {
        FUZZ_CHECK(wholeStatus == status || (status == 0 && wholeStatus == 413));
    }
    if (status != 0) {
        FUZZ_CHECK(limitedStatus == status);
        return;
    }
    CheckParsedHead(head, ~0ULL);
    if (head.contentLength > kSmallLimit) {
        FUZZ_CHECK(limitedStatus == 413);
    } else {
        FUZZ_CHECK(limitedStatus == 0 && SameHead(head, limited));
    }
}

inline void CheckForms(const std::string& text) {
    FUZZ_CHECK(host::PercentDecode(text, true).size() <= text.size());
    FUZZ_CHECK(host::PercentDecode(text, false).size() <= text.size());
    const std::string encoded = host::UrlEncode(text);
    FUZZ_CHECK(encoded.size() >= text.size() && encoded.size() <= 3 * text.size());
    for (char c : encoded) {
        FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                   c == '%');
    }
    FUZZ_CHECK(host::PercentDecode(encoded, true) == text);

    const host::NameValues pairs = host::ParseUrlEncoded(text);
    std::size_t bytes = 0;
    std::string written;
    for (const auto& [name, value] : pairs) {
        bytes += name.size() + value.size();
        if (!written.empty()) written += '&';
        written += host::UrlEncode(name) + "=" + host::UrlEncode(value);
    }
    FUZZ_CHECK(bytes <= text.size());
    FUZZ_CHECK(pairs.size() <= static_cast<std::size_t>(std::count(text.begin(), text.end(), '&')) + 1);
    FUZZ_CHECK(host::ParseUrlEncoded(written) == pairs);

    bytes = 0;
    for (const auto& [name, value] : host::ParseCookieHeader(text)) {
        bytes += name.size() + value.size();
        FUZZ_CHECK(name.find(';') == std::string::npos && IsTrimmed(name));
    }
    FUZZ_CHECK(bytes <= text.size());

    for (const char* token : {"close", "keep-alive"})
        if (host::HasToken(text, token)) FUZZ_CHECK(Lower(text).find(token) != std::string::npos);
}

inline void CheckPaths(const std::string& text) {
    std::string sitePath;
    if (host::ToSitePath(text, sitePath)) FUZZ_CHECK(IsCleanSitePath(sitePath));

    // First line: the including page's path (as the host has it); the rest: the reference.
    const std::size_t lf = text.find('\n');
    std::string including;
    if (!host::ToSitePath(text.substr(0, lf), including) || including.empty()) including = "page.asp";
    const std::string reference = lf == std::string::npos ? text : text.substr(lf + 1);
    for (bool isVirtual : {false, true}) {
        std::string resolved;
        if (!host::ResolveInclude(including, reference, isVirtual, resolved)) continue;
        FUZZ_CHECK(IsCleanSitePath(resolved));
        if (isVirtual) {
            std::string elsewhere;
            FUZZ_CHECK(host::ResolveInclude("other/dir/x.asp", reference, true, elsewhere) && elsewhere == resolved);
        }
    }

    static const char* const kTypes[] = {
        "text/html", "text/css", "application/javascript", "application/json", "text/plain",
        "text/xml", "image/png", "image/jpeg", "image/gif", "image/x-icon", "image/svg+xml",
        "application/pdf", "application/zip", "application/wasm", "application/octet-stream"};
    const std::string type = host::ContentTypeFor(text);
    FUZZ_CHECK(std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes));
}

inline void CheckStatusLine(const std::string& text) {
    int status = 0;
    std::string reason;
    if (!host::ParseStatusLine(text, status, reason)) return;
    FUZZ_CHECK(status >= 100 && status <= 599);
    FUZZ_CHECK(!reason.empty() && IsTrimmed(reason));
    for (char c : reason) {
        const unsigned char b = static_cast<unsigned char>(c);
        FUZZ_CHECK((b >= 0x20 || b == '\t') && b != 0x7F);
    }
    FUZZ_CHECK(host::ReasonPhrase(status) != nullptr);
    int again = 0;
    std::string againReason;
    FUZZ_CHECK(host::ParseStatusLine(std::to_string(status) + " " + reason, again, againReason));
    FUZZ_CHECK(again == status && againReason == reason);
}

}  // namespace http_text

inline void CheckHttpText(const std::uint8_t* data, std::size_t size) {
    using namespace http_text;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckFraming(text);
    CheckForms(text);
    CheckPaths(text);
    CheckStatusLine(text);
}

}  // namespace tarnwick::fuzz
