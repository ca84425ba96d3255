// What the mailbox pages read from one stored message: the summary fields,
// the plain-text body, the attachment names and one attachment's bytes.
// Everything works on a message's bytes in place (a mapped file).
#pragma once

#include <string>
#include <vector>

#include "mailbox/Summary.h"
#include "mime/stored/Part.h"

namespace tarnwick::mailbox::stored {

// The values of From, To, Subject and Date of the message's own header, in
// that order, each only when present (a missing field is skipped, not left
// empty).
std::vector<std::string> SummaryValues(const mime::stored::Part& root);

// GetTitleInfo's line: each value of SummaryValues followed by
// kSummarySeparator, both as convert gives them. Each value is converted on
// its own, so that one ending in half a double-byte character cannot
// swallow the separator.
template <class Convert>
auto SummaryLine(const mime::stored::Part& root, Convert convert) {
    decltype(convert(std::string())) line;
    for (const std::string& value : SummaryValues(root)) {
        line += convert(value);
        line += convert(kSummarySeparator);
    }
    return line;
}

// The text of the first text/plain part in depth-first order (the root when
// there is none): its bytes decoded as text (mime::stored::DecodeFor::Text) up to the
// decoded count or the first zero byte, whichever comes first.
std::string BodyText(const mime::stored::Part& root);

// Every attachment's file name followed by "||", in depth-first order. An
// attachment without a file name is not listed: it cannot be fetched by name.
std::string AttachmentList(const mime::stored::Part& root);

// The first attachment whose file name equals name, ASCII letters compared
// without regard to case (in every byte); null when none matches.
const mime::stored::Part* FindAttachmentByName(const mime::stored::Part& root, const std::string& name);

// The media type sent with an attachment: its Content-Type value, or
// "application/octet-stream" when the part has none.
std::string AttachmentContentType(const mime::stored::Part& part);

// Base64 text of text up to its first zero byte, in 72-character lines.
std::string EncodeText(const std::string& text);
// The bytes the base64 text decodes to, up to the first zero byte.
std::string DecodeText(const std::string& base64);

// The About box's HTML fragment (narrow text in the system code page).
const char* AboutFragment();

}  // namespace tarnwick::mailbox::stored
