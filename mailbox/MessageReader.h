// What the mailbox pages read from one stored message: the summary fields,
// the plain-text body, the attachment names and one attachment's bytes.
// Everything works on a message's bytes in place (a mapped file).
#pragma once

#include <string>
#include <vector>

#include "mime/MimePart.h"

namespace tarnwick::mailbox {

// Separators of the result strings that pages split.
constexpr char kSummarySeparator[] = "||||";
constexpr char kAttachmentSeparator[] = "||";

// The values of From, To, Subject and Date of the message's own header, in
// that order, each only when present (a missing field is skipped, not left
// empty).
std::vector<std::string> SummaryValues(const mime::MimePart& root);

// The text of the first text/plain part in depth-first order (the root when
// there is none): its bytes decoded as text (mime::DecodeFor::Text) up to the
// decoded count or the first zero byte, whichever comes first.
std::string BodyText(const mime::MimePart& root);

// Every attachment's file name followed by "||", in depth-first order. An
// attachment without a file name is not listed: it cannot be fetched by name.
std::string AttachmentList(const mime::MimePart& root);

// The first attachment whose file name equals name, ASCII letters compared
// without regard to case (in every byte); null when none matches.
const mime::MimePart* FindAttachmentByName(const mime::MimePart& root, const std::string& name);

// The media type sent with an attachment: its Content-Type value, or
// "application/octet-stream" when the part has none.
std::string AttachmentContentType(const mime::MimePart& part);

// Base64 text of text up to its first zero byte, in 72-character lines.
std::string EncodeText(const std::string& text);
// The bytes the base64 text decodes to, up to the first zero byte.
std::string DecodeText(const std::string& base64);

// The About box's HTML fragment (narrow text in the system code page).
const char* AboutFragment();

}  // namespace tarnwick::mailbox
