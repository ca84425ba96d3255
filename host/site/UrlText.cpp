#include "host/site/UrlText.h"

#include <cstring>

#include "text/FileNames.h"
#include "text/NarrowText.h"

namespace tarnwick::host {
namespace {

// Status codes have exactly this many digits.
constexpr size_t kStatusDigits = 3;
// A page sends the final response: an interim status (1xx) would leave the
// client waiting for another, and the next response on the connection out
// of step.
constexpr int kMinStatus = 200;
constexpr int kMaxStatus = 599;

using text::TrimBlanks;

// A GBK character is a lead byte and a trail byte; the trail byte may look
// like a backslash (0x5C), so a pair is taken as one character.
bool StartsPair(const std::string& bytes, size_t i) { return text::StartsDoubleByte(bytes, i, text::Pairing::TrailRange); }

// Bytes a Windows file name cannot hold or that would change its meaning
// ('/' separates segments before this is asked), and DEL, a control byte too.
bool IsRefusedByte(char c) { return text::IsRefusedInFileName(c) || c == 0x7F; }

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
        } else if (text::EndsInDotOrSpace(segment)) {
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
        } else if (IsRefusedByte(path[i])) {
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
    return text::DecodeHexEscapes(text, '%', plusIsSpace ? '+' : text::kNoSpaceFor);
}

std::string UrlEncode(const std::string& bytes) {
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
            encoded += text::kHexDigits[b >> 4];
            encoded += text::kHexDigits[b & 0x0F];
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
    for (char& c : extension) c = text::LowerAscii(c);
    for (const auto& entry : kTypes)
        if (extension == entry.extension) return entry.type;
    return "application/octet-stream";
}

std::string SitePathUrl(const std::string& sitePath) {
    std::string url = "/";
    for (char c : sitePath) {
        const unsigned char b = static_cast<unsigned char>(c);
        // A second '/' in a row is escaped: "//x" would name another host.
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            (b != 0 && std::strchr("-._~", b) != nullptr) || (b == '/' && url.back() != '/')) {
            url += c;
        } else {
            url += '%';
            url += text::kHexDigits[b >> 4];
            url += text::kHexDigits[b & 0x0F];
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
    if (line.size() > kStatusDigits && !text::IsBlank(line[kStatusDigits])) return false;
    std::string rest = TrimBlanks(line.substr(kStatusDigits));
    // The reason goes into the response's status line: a line break would start a header.
    for (char c : rest)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return false;
    status = code;
    reason = rest.empty() ? ReasonPhrase(code) : rest;
    return true;
}

}  // namespace tarnwick::host
