// The text work of serving a site that the Server API leaves to its user:
// URL paths to site paths, query strings and url-encoded forms, cookies,
// content types and status lines. Narrow bytes; no I/O.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/net/HttpFraming.h"

namespace tarnwick::host {

// Decodes %XX escapes (and '+' as a space when plusIsSpace, as forms and
// query strings write it). A '%' not followed by two hex digits stays as it is.
std::string PercentDecode(const std::string& text, bool plusIsSpace);

// Encodes bytes as Server.URLEncode does: letters and digits stay, a space
// becomes '+', every other byte %XX with upper-case digits.
std::string UrlEncode(const std::string& bytes);

// name=value pairs of a query string or an application/x-www-form-urlencoded
// body, in order, duplicates kept, names and values decoded. Empty pieces
// ("a=1&&b=2") are skipped; a piece without '=' has an empty value.
using NameValues = std::vector<std::pair<std::string, std::string>>;
NameValues ParseUrlEncoded(const std::string& text);

// Cookie request header: "a=1; b=2" -> pairs, values percent-decoded
// without '+' handling; surrounding blanks trimmed.
NameValues ParseCookieHeader(const std::string& header);

// The raw request path (before '?', still percent-encoded) to a site path:
// decoded, '/'-separated, no leading '/', "." segments dropped, empty
// segments dropped. False (refused) for a ".." segment, a backslash, a ':',
// a byte below 0x20, a decoded '%00' or a segment ending in '.' or ' '
// (which Windows would silently strip). "" is the site root.
bool ToSitePath(const std::string& rawPath, std::string& sitePath);

// Resolves an include reference against the including file's site path:
// file="x" relative to its folder, virtual="/x" from the site root. Same
// refusals as ToSitePath.
bool ResolveInclude(const std::string& includingSitePath, const std::string& reference, bool isVirtual,
                    std::string& sitePath);

// Content-Type for a file name by its extension, case-insensitive:
// html/htm, css, js, json, txt, xml, png, jpg/jpeg, gif, ico, svg, pdf,
// zip, wasm; anything else application/octet-stream.
std::string ContentTypeFor(const std::string& fileName);

// The absolute URL path of a site path ("a b/c" -> "/a%20b/c"): exactly one
// leading '/', bytes other than letters, digits, "-._~" and '/' as %XX, and
// a '/' right after another one too, so that it never starts with "//".
std::string SitePathUrl(const std::string& sitePath);

// Parses a status line as page scripts set it ("404 Not Found"): the code
// and the reason (the standard phrase when none is given). False unless
// it starts with three digits between 100 and 599.
bool ParseStatusLine(const std::string& text, int& status, std::string& reason);

}  // namespace tarnwick::host
