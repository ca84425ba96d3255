#include "mailbox/current/Reading.h"

#include <algorithm>
#include <string_view>

#include "mailbox/Summary.h"
#include "mime/Codecs.h"
#include "mime/HtmlText.h"
#include "text/Charsets.h"
#include "text/NarrowText.h"

namespace tarnwick::mailbox::current {
namespace {

std::u16string Utf16(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

// A structured field of part, parsed; empty when the part has none.
mime::current::StructuredValue Structured(const mime::current::Part& part, std::string_view name) {
    const mime::current::Field* field = part.FindField(name);
    return field != nullptr ? mime::current::ParseStructured(field->value) : mime::current::StructuredValue();
}

bool IsAttachment(const mime::current::StructuredValue& disposition) {
    return text::EqualIgnoringAsciiCase(disposition.value, "attachment");
}

// The name a page lists an attachment by: the disposition's filename, else
// Content-Type's name; empty when the part has neither.
std::u16string NameOf(const mime::current::StructuredValue& disposition, const mime::current::StructuredValue& type) {
    if (const mime::current::Parameter* name = mime::current::FindParameter(disposition, "filename")) {
        std::u16string text = mime::current::ParameterText(*name);
        if (!text.empty()) return text;
    }
    if (const mime::current::Parameter* name = mime::current::FindParameter(type, "name")) return mime::current::ParameterText(*name);
    return {};
}

void Collect(const mime::current::Part& part, std::vector<Attachment>& found) {
    // Only leaves carry bytes: a split part offered for download would
    // give nothing.
    if (part.bodyBegin != nullptr) {
        const mime::current::StructuredValue disposition = Structured(part, "Content-Disposition");
        const mime::current::StructuredValue type = part.ContentType();
        if (IsAttachment(disposition) || mime::current::MediaTypeOf(type).compare(0, 5, "text/") != 0) {
            std::u16string name = NameOf(disposition, type);
            if (!name.empty()) found.push_back({&part, std::move(name)});
        }
    }
    for (const auto& child : part.children) Collect(*child, found);
}

// The Content-ID a field value names: the text between its angle brackets,
// without any comment after them; the value up to a blank when it has none.
std::u16string_view BareId(std::u16string_view id) {
    const std::size_t open = id.find(u'<');
    const std::size_t close = id.find(u'>', open);
    if (open != std::u16string_view::npos && close != std::u16string_view::npos)
        return id.substr(open + 1, close - open - 1);
    const std::size_t start = std::min(id.find_first_not_of(u" \t"), id.size());
    const std::size_t end = std::min(id.find_first_of(u" \t(", start), id.size());
    return id.substr(start, end - start);
}

std::u16string ContentIdOf(const mime::current::Part& part) {
    const mime::current::Field* field = part.FindField("Content-ID");
    return field != nullptr ? std::u16string(BareId(text::RawTextToUnicode(field->value))) : std::u16string();
}

// The root of a multipart/related compound document: the part its start
// parameter names, else its first part (RFC 2387); the others are what
// the root shows, not the message's text.
const mime::current::Part* RelatedStart(const mime::current::Part& part) {
    if (part.children.empty()) return nullptr;
    const mime::current::StructuredValue type = part.ContentType();
    if (const mime::current::Parameter* start = mime::current::FindParameter(type, "start")) {
        const std::u16string id(BareId(text::RawTextToUnicode(start->value)));
        for (const auto& child : part.children)
            if (!id.empty() && ContentIdOf(*child) == id) return child.get();
    }
    return part.children.front().get();
}

// The first leaf of mediaType that is not an attachment, in depth-first
// order. In a multipart/digest a part that gives no type is a message
// (RFC 2046 5.1.5), not text.
const mime::current::Part* FindText(const mime::current::Part& part, std::string_view mediaType, bool inDigest = false) {
    if (part.bodyBegin != nullptr && part.MediaType() == mediaType &&
        !(inDigest && part.ContentType().value.find('/') == std::string::npos) &&
        !IsAttachment(Structured(part, "Content-Disposition")))
        return &part;
    const std::string type = part.MediaType();
    if (type == "multipart/related") {
        const mime::current::Part* start = RelatedStart(part);
        return start != nullptr ? FindText(*start, mediaType) : nullptr;
    }
    const bool digest = type == "multipart/digest";
    for (const auto& child : part.children)
        if (const mime::current::Part* found = FindText(*child, mediaType, digest)) return found;
    return nullptr;
}

// [begin, end) with every LF that no CR precedes written as CR LF.
std::string WithCrLfLineEnds(const char* begin, const char* end) {
    std::string out;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '\n' && (p == begin || p[-1] != '\r')) out += '\r';
        out += *p;
    }
    return out;
}

// The part's body decoded by its transfer encoding (none for a split part).
std::string DecodedText(const mime::current::Part& part) {
    std::string bytes;
    if (part.bodyBegin != nullptr &&
        mime::TransferEncodingOf(Structured(part, "Content-Transfer-Encoding").value) ==
            mime::TransferEncoding::QuotedPrintable) {
        // Text stored with bare LF line ends (copied in from another system)
        // reads as if its line ends were CR LF, as the page would have them.
        const std::string stored = WithCrLfLineEnds(part.bodyBegin, part.bodyEnd);
        bytes.assign(stored.size(), '\0');
        bytes.resize(mime::QuotedPrintableDecodeRfc2045(stored.data(), stored.data() + stored.size(), &bytes[0]));
    } else {
        bytes.assign(DecodedCapacity(part), '\0');
        bytes.resize(DecodeBodyInto(part, &bytes[0]));
    }
    return bytes;
}

// The charset the part's Content-Type names; empty when it names none.
std::string DeclaredCharset(const mime::current::Part& part) {
    const mime::current::StructuredValue type = part.ContentType();
    const mime::current::Parameter* charset = mime::current::FindParameter(type, "charset");
    return charset != nullptr ? charset->value : std::string();
}

// text up to its first U+0000. Converted first, cut after: in UTF-16 text
// every other byte of plain English is 00.
std::u16string CutAtNul(std::u16string text) {
    text.resize(std::min(text.find(u'\0'), text.size()));
    return text;
}

// A text/html part's markup in UTF-16: converted from the part's charset,
// else the one a <meta> of the document declares, else the system code page.
std::u16string HtmlSource(const mime::current::Part& part) {
    const std::string bytes = DecodedText(part);
    std::string charset = DeclaredCharset(part);
    if (charset.empty()) charset = mime::HtmlDeclaredCharset(bytes);
    return CutAtNul(text::MarkedTextToUnicode(bytes, charset));
}

const mime::current::Part* FindContentId(const mime::current::Part& part, std::u16string_view id) {
    if (part.bodyBegin != nullptr && ContentIdOf(part) == id) return &part;
    for (const auto& child : part.children)
        if (const mime::current::Part* found = FindContentId(*child, id)) return found;
    return nullptr;
}

}  // namespace

std::array<std::u16string, kSummaryFieldCount> SummaryValues(const mime::current::Part& root) {
    std::array<std::u16string, kSummaryFieldCount> values;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (const mime::current::Field* field = root.FindField(kSummaryFields[i])) values[i] = mime::current::DecodeHeaderText(field->value);
    return values;
}

std::u16string SummaryLine(const mime::current::Part& root) {
    std::u16string line;
    for (const std::u16string& value : SummaryValues(root)) line += value + Utf16(kSummarySeparator);
    return line;
}

std::u16string BodyText(const mime::current::Part& root) {
    const mime::current::Part* part = FindText(root, "text/plain");
    if (part == nullptr) part = FindText(root, "text/html");
    // A message of one text part of another kind (text/enriched, or one
    // marked as an attachment) still reads as text; an image, an archive,
    // an attached message or a multipart with no boundary to split it by
    // has no text to show.
    if (part == nullptr) {
        if (root.bodyBegin == nullptr || root.MediaType().compare(0, 5, "text/") != 0) return {};
        part = &root;
    }
    // A page shows the body as text: HTML gives the text of its markup.
    if (part->bodyBegin != nullptr && part->MediaType() == "text/html") return mime::HtmlToText(HtmlSource(*part));
    // Plain text that declares no charset reads as header text does: UTF-8
    // when it is valid UTF-8 (as mail written today sends it), else the
    // system code page.
    const std::string bytes = DecodedText(*part);
    std::string charset = DeclaredCharset(*part);
    if (charset.empty() && text::IsUtf8(bytes)) charset = "utf-8";
    return CutAtNul(text::MarkedTextToUnicode(bytes, charset));
}

std::u16string HtmlBody(const mime::current::Part& root) {
    const mime::current::Part* part = FindText(root, "text/html");
    return part != nullptr ? HtmlSource(*part) : std::u16string();
}

std::vector<Attachment> Attachments(const mime::current::Part& root) {
    std::vector<Attachment> found;
    Collect(root, found);
    return found;
}

std::u16string AttachmentList(const mime::current::Part& root) {
    std::u16string list;
    for (const Attachment& attachment : Attachments(root)) list += attachment.name + Utf16(kAttachmentSeparator);
    return list;
}

const mime::current::Part* FindAttachmentByName(const mime::current::Part& root, std::u16string_view name) {
    for (const Attachment& attachment : Attachments(root))
        if (text::EqualIgnoringAsciiCase(attachment.name, name)) return attachment.part;
    return nullptr;
}

const mime::current::Part* FindPartByContentId(const mime::current::Part& root, std::u16string_view contentId) {
    const std::u16string_view id = BareId(contentId);
    return id.empty() ? nullptr : FindContentId(root, id);
}

std::string AttachmentContentType(const mime::current::Part& part) {
    // A part without a valid type is sent as bytes of no known kind.
    const mime::current::StructuredValue type = part.ContentType();
    if (type.value.find('/') == std::string::npos) return "application/octet-stream";
    return mime::current::MediaTypeOf(type);
}

}  // namespace tarnwick::mailbox::current
