#include "mailbox/AttachmentType.h"

#include <cstring>

#include "text/NarrowText.h"

namespace tarnwick::mailbox {
namespace {

// Types a browser shows as a document that can hold script, or runs as
// script (the JavaScript types of the WHATWG MIME Sniffing standard, which a
// <script> of this origin would load), or hands to a plug-in that ran with
// the page's origin. Lower case; subtypes ending in "+xml" and multipart/*
// are refused by rule, not listed.
constexpr const char* kActiveTypes[] = {
    "text/html",
    "text/xml",
    "application/xml",
    "text/xsl",
    "application/ecmascript",
    "application/javascript",
    "application/x-ecmascript",
    "application/x-javascript",
    "text/ecmascript",
    "text/javascript",
    "text/javascript1.0",
    "text/javascript1.1",
    "text/javascript1.2",
    "text/javascript1.3",
    "text/javascript1.4",
    "text/javascript1.5",
    "text/jscript",
    "text/livescript",
    "text/x-ecmascript",
    "text/x-javascript",
    "text/vbscript",
    "text/x-component",
    "application/x-shockwave-flash",
    // a web archive, an HTML application and a scriptlet open as pages in
    // Internet Explorer; the plug-ins ran with the page's origin
    "message/rfc822",
    "application/hta",
    "text/x-scriptlet",
    "application/java-archive",
    "application/x-java-applet",
    "application/x-silverlight-app",
    "application/futuresplash",
};

// RFC 2045 token: printable ASCII other than the blank and the tspecials.
bool IsTokenChar(char c) {
    return c > ' ' && c < 0x7F && std::strchr("()<>@,;:\\\"/[]?=", c) == nullptr;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsToken(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsTokenChar(c)) return false;
    return true;
}

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

}  // namespace

std::string SentAttachmentType(std::string_view declared) {
    while (!declared.empty() && IsBlank(declared.front())) declared.remove_prefix(1);
    while (!declared.empty() && IsBlank(declared.back())) declared.remove_suffix(1);

    const std::size_t slash = declared.find('/');
    if (slash == std::string_view::npos || !IsToken(declared.substr(0, slash)) ||
        !IsToken(declared.substr(slash + 1)))
        return kOpaqueMediaType;

    std::string lower(declared);
    for (char& c : lower) c = text::LowerAscii(c);
    const std::string_view type = std::string_view(lower).substr(0, slash);
    const std::string_view subtype = std::string_view(lower).substr(slash + 1);
    if (type == "multipart" || EndsWith(subtype, "+xml")) return kOpaqueMediaType;
    for (const char* active : kActiveTypes)
        if (lower == active) return kOpaqueMediaType;
    return std::string(declared);
}

}  // namespace tarnwick::mailbox
