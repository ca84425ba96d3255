// What Tarnwick.MailReader returns for one stored message: the summary
// fields, the plain-text body and the attachments, read by today's header
// rules (mime/current/Part.h) and converted from their declared charsets to
// UTF-16, so characters outside the system code page survive.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "mailbox/Summary.h"
#include "mime/current/Part.h"

namespace tarnwick::mailbox::current {

// From, To, Subject and Date of the message's own header, decoded, in that
// order; an empty string for a missing field, so the slots never shift.
std::array<std::u16string, kSummaryFieldCount> SummaryValues(const mime::current::Part& root);
// GetTitleInfo's result: every value of SummaryValues followed by "||||".
std::u16string SummaryLine(const mime::current::Part& root);

// The readable text of the message: the first text/plain part that is not
// an attachment, in depth-first order, decoded and converted from its charset
// (the system code page when it declares none), up to its first U+0000 (so
// UTF-16 text is whole). Quoted-printable is read by RFC 2045; text stored
// with bare LF line ends is read as if its line ends were CR LF. Without such
// a part, the first text/html part that is not an attachment, as HtmlBody
// reads it, through mime::HtmlToText; without either, the root read as a
// text part (a split root gives nothing; a text/html root gives its text).
std::u16string BodyText(const mime::current::Part& root);

// The markup of the first text/html part that is not an attachment, in
// depth-first order: decoded as BodyText decodes, converted from the part's
// charset, else the one a <meta> of the HTML declares
// (mime::HtmlDeclaredCharset), else the system code page, up to its first
// U+0000. Empty when the message has no such part.
std::u16string HtmlBody(const mime::current::Part& root);

struct Attachment {
    const mime::current::Part* part;
    std::u16string name;
};

// The attachments in document order: a part whose Content-Disposition is
// "attachment" (any case), or a leaf part that is not text/* and has a name.
// The name is the disposition's filename (RFC 2231 or 2047 decoded), else
// Content-Type's name. A part without a name is not listed: it cannot be
// fetched by name.
std::vector<Attachment> Attachments(const mime::current::Part& root);

// GetAllFileName's result: every attachment's name followed by "||".
std::u16string AttachmentList(const mime::current::Part& root);

// The first attachment whose name equals name, ASCII letters compared without
// regard to case; null when none.
const mime::current::Part* FindAttachmentByName(const mime::current::Part& root, std::u16string_view name);

// The first part with a body whose Content-ID is <contentId>, in depth-first
// order (a cid: URL of the HTML names it); the angle brackets of contentId
// may be left out. IDs are compared exactly; null when none matches.
const mime::current::Part* FindPartByContentId(const mime::current::Part& root, std::u16string_view contentId);

// The media type sent with an attachment: its Content-Type's type/subtype,
// or "application/octet-stream" when the part has none (or one without a
// subtype).
std::string AttachmentContentType(const mime::current::Part& part);

}  // namespace tarnwick::mailbox::current
