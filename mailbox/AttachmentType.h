// The media type an attachment is sent to the browser as. An attachment is
// mail from anyone; sent as a type the browser renders or runs, it would run
// in the site's own origin. Both mail classes send through this one rule.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::mailbox {

// What a type that may run in a browser is sent as instead.
inline constexpr const char kOpaqueMediaType[] = "application/octet-stream";

// The type GetFile sends for an attachment whose part declares `declared`
// (the media type as the reader gives it, without parameters). It is
// `declared` without the blanks around it when that is one clean
// "type/subtype" of ASCII token characters and no type a browser renders
// as a document or runs as script: HTML, XML of any kind (text/xml,
// application/xml, every "+xml" subtype: XHTML, SVG, RSS, ...), XSLT,
// the script types a browser runs, multipart/* and old plug-in types.
// Anything else is kOpaqueMediaType: those types in any letter case, and
// every value a browser might still read as one of them (blanks, a ';' or
// ',', quotes, comments, control or non-ASCII bytes, a missing type or
// subtype).
std::string SentAttachmentType(std::string_view declared);

}  // namespace tarnwick::mailbox
