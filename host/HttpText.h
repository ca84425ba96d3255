// The text work of serving HTTP that the Server API leaves to its user:
// URL paths to site paths, query strings and url-encoded forms, cookies,
// content types and status texts. Narrow bytes; no I/O.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {

// Limits the host answers with a 4xx status when a request exceeds them.
constexpr size_t kMaxUrlBytes = 8 * 1024;            // request target (414)
constexpr size_t kMaxHeaderBytes = 64 * 1024;        // all header lines (431)
constexpr size_t kMaxHeaderLineBytes = 16 * 1024;    // one header line (431); the
                                                     // Server API counts in 16 bits
constexpr size_t kDefaultMaxBodyBytes = 64u << 20;   // body, option --max-body (413)

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

// The reason phrase of a status code ("Not Found"); "Unknown" for others.
const char* ReasonPhrase(int status);

// Parses a status line as page scripts set it ("404 Not Found"): the code
// and the reason (the standard phrase when none is given). False unless
// it starts with three digits between 100 and 599.
bool ParseStatusLine(const std::string& text, int& status, std::string& reason);

}  // namespace tarnwick::host
