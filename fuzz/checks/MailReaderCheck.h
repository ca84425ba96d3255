// A stored message read as Tarnwick.MailReader reads it (UnicodeMessageCheck.h:
// the part tree, the summary, the body, the attachment list and downloads),
// then its HTML as plain text (mime/HtmlText.h): every text/html leaf body
// (the first kHtmlParts), decoded and converted from the charset its
// Content-Type gives, else the one its <meta> declares; an input with no
// such part that starts with '<' is read whole, as UTF-8, as HTML, so that
// markup the fuzzer writes outside any MIME structure is read too (other
// inputs are not: reading every message as HTML would halve the runs). The input is copied into an
// exactly sized heap block so that any read past the message is caught.
//
// Invariants of the HTML text:
//   - HtmlToText never gives more UTF-16 units than the HTML has, plus two;
//     DecodeCharacterReferences never more than the text it decodes;
//   - the text is lines, each ending with CR LF: no CR or LF elsewhere, no
//     tab or form feed (blanks collapse to one space), no space at the start
//     of a line, no space or no-break space at its end, no empty line at the
//     start or the end and never two empty lines in a row;
//   - nothing of a <script> or <style> element is in the text: the HTML
//     after such an element holding a marker (and the start of the HTML
//     itself, with no "</" left in it) reads as the HTML alone, and the
//     marker is not in it;
//   - HtmlDeclaredCharset returns text of the document, blanks trimmed;
//   - the reader's HTML (HtmlBody) keeps all of the above, and a message with
//     no plain text part has HtmlToText of it as its body (BodyText);
//   - FindPartByContentId finds nothing for an empty ID, and finds the first
//     leaf with a printable-ASCII Content-ID by that ID, angle brackets or
//     not.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/checks/Check.h"
#include "fuzz/checks/UnicodeMessageCheck.h"
#include "mailbox/current/Reading.h"
#include "mime/HtmlText.h"
#include "mime/current/Part.h"
#include "text/Charsets.h"
#include "text/NarrowText.h"

namespace tarnwick::fuzz {
namespace mail_reader {

// HTML bodies read per message: the rest only repeat the work.
constexpr std::size_t kHtmlParts = 4;
// The units of the HTML also put inside the script element: enough for any
// markup that might end it early, not the whole text read again.
constexpr std::size_t kScriptUnits = 512;

// In private-use characters, so that only a reference could write it outside
// the script; an HTML whose text already has it is not wrapped.
constexpr std::u16string_view kMarker = u"\uE000tarnwick script marker\uE001";

inline bool IsHtmlBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

inline void CheckLines(std::u16string_view text) {
    if (text.empty()) return;
    FUZZ_CHECK(text.size() >= 2 && text.substr(text.size() - 2) == u"\r\n");
    FUZZ_CHECK(text.substr(0, 2) != u"\r\n");                         // no empty first line
    FUZZ_CHECK(text.size() < 4 || text.substr(text.size() - 4) != u"\r\n\r\n");   // nor last
    FUZZ_CHECK(text.find(u"\r\n\r\n\r\n") == std::u16string_view::npos);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(u"\r\n", start);
        FUZZ_CHECK(end != std::u16string_view::npos);
        const std::u16string_view line = text.substr(start, end - start);
        for (const char16_t c : line) FUZZ_CHECK(c != u'\r' && c != u'\n' && c != u'\t' && c != u'\f');
        if (!line.empty()) {
            FUZZ_CHECK(line.front() != u' ');
            FUZZ_CHECK(line.back() != u' ' && line.back() != u'\u00A0');
        }
        start = end + 2;
    }
}

// text with no "</" left: as a script's content it cannot end the script.
inline std::u16string WithoutEndTags(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == u'<' && i + 1 < text.size() && text[i + 1] == u'/') out += u' ';
    }
    return out;
}

inline void CheckHtmlText(std::u16string_view html) {
    const std::u16string text = mime::HtmlToText(html);
    FUZZ_CHECK(text.size() <= html.size() + 2);
    CheckLines(text);
    FUZZ_CHECK(mime::DecodeCharacterReferences(html).size() <= html.size());

    if (text.find(kMarker) != std::u16string::npos) return;
    // A script (or style) element first, holding the marker amid the start
    // of the HTML itself: it gives nothing, and the HTML after it reads as
    // before.
    const bool style = html.size() % 2 != 0;
    const std::u16string_view inside = html.substr(0, kScriptUnits);
    std::u16string wrapped = style ? u"<Style type=\"text/css\">" : u"<SCRIPT type=\"text/javascript\">";
    wrapped.reserve(wrapped.size() + inside.size() * 2 + kMarker.size() + html.size() + 16);
    wrapped += WithoutEndTags(inside.substr(0, inside.size() / 2));
    wrapped += kMarker;
    wrapped += WithoutEndTags(inside.substr(inside.size() / 2));
    wrapped += style ? u"</style\t>" : u"</script >";
    wrapped += html;
    const std::u16string after = mime::HtmlToText(wrapped);
    FUZZ_CHECK(after.find(kMarker) == std::u16string::npos);
    FUZZ_CHECK(after == text);
}

inline void CheckDeclaredCharset(std::string_view bytes) {
    const std::string charset = mime::HtmlDeclaredCharset(bytes);
    if (charset.empty()) return;
    FUZZ_CHECK(bytes.find(charset) != std::string_view::npos);
    FUZZ_CHECK(!IsHtmlBlank(static_cast<unsigned char>(charset.front())));
    FUZZ_CHECK(!IsHtmlBlank(static_cast<unsigned char>(charset.back())));
}

// Every text/html leaf, in tree order, up to kHtmlParts; returns the count.
inline std::size_t CheckHtmlParts(const mime::current::Part& part, std::size_t seen) {
    if (seen >= kHtmlParts) return seen;
    if (part.bodyBegin != nullptr) {
        if (part.MediaType() != "text/html") return seen;
        std::string bytes(DecodedCapacity(part), '\0');
        bytes.resize(DecodeBodyInto(part, bytes.data()));
        CheckDeclaredCharset(bytes);
        const mime::current::StructuredValue type = part.ContentType();
        const mime::current::Parameter* charset = mime::current::FindParameter(type, "charset");
        const std::string name = charset != nullptr ? charset->value : mime::HtmlDeclaredCharset(bytes);
        CheckHtmlText(text::ToUnicode(bytes, name));
        return seen + 1;
    }
    for (const auto& child : part.children) seen = CheckHtmlParts(*child, seen);
    return seen;
}

inline bool IsAttachmentPart(const mime::current::Part& part) {
    const mime::current::Field* field = part.FindField("Content-Disposition");
    return field != nullptr && text::EqualIgnoringAsciiCase(mime::current::ParseStructured(field->value).value, "attachment");
}

// Whether BodyText reads a text/plain part: a leaf of that type that is not
// an attachment.
inline bool HasPlainText(const mime::current::Part& part) {
    if (part.bodyBegin != nullptr) return part.MediaType() == "text/plain" && !IsAttachmentPart(part);
    for (const auto& child : part.children)
        if (HasPlainText(*child)) return true;
    return false;
}

// The first leaf, in tree order, whose Content-ID is printable ASCII.
inline const mime::current::Part* FirstAsciiContentId(const mime::current::Part& part, std::u16string& id) {
    if (part.bodyBegin != nullptr) {
        const mime::current::Field* field = part.FindField("Content-ID");
        if (field == nullptr || field->value.empty()) return nullptr;
        for (const char c : field->value)
            if (c < '!' || c > '~') return nullptr;
        id.assign(field->value.begin(), field->value.end());
        return &part;
    }
    for (const auto& child : part.children)
        if (const mime::current::Part* found = FirstAsciiContentId(*child, id)) return found;
    return nullptr;
}

// The reader's own HTML (HtmlBody), its text as the body of a message with no
// plain text, and the look-up of an inline part by its Content-ID.
inline void CheckReaderHtml(const mime::current::Part& root) {
    namespace reader = mailbox::current;
    const std::u16string html = reader::HtmlBody(root);
    if (!html.empty()) {
        CheckHtmlText(html);
        if (!HasPlainText(root)) FUZZ_CHECK(reader::BodyText(root) == mime::HtmlToText(html));
    }
    FUZZ_CHECK(reader::FindPartByContentId(root, u"") == nullptr);
    FUZZ_CHECK(reader::FindPartByContentId(root, u"<>") == nullptr);
    std::u16string id;
    const mime::current::Part* part = FirstAsciiContentId(root, id);
    if (part == nullptr) return;
    // The first part of that ID, with or without its angle brackets.
    std::u16string_view bare = id;
    if (bare.size() >= 2 && bare.front() == u'<' && bare.back() == u'>') bare = bare.substr(1, bare.size() - 2);
    const mime::current::Part* expected = bare.empty() ? nullptr : part;
    FUZZ_CHECK(reader::FindPartByContentId(root, id) == expected);
    FUZZ_CHECK(reader::FindPartByContentId(root, u"<" + std::u16string(bare) + u">") == expected);
}

}  // namespace mail_reader

inline void CheckMailReader(const std::uint8_t* data, std::size_t size) {
    using namespace mail_reader;
    std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(bytes.get(), data, size);
    const char* begin = bytes.get();
    const char* end = begin + size;

    const mime::current::Part root(begin, end);
    CheckUnicodeMessage(root, begin, end);
    CheckReaderHtml(root);
    // Markup with no message around it (the fuzzer's own, or a seed's).
    if (CheckHtmlParts(root, 0) == 0 && size != 0 && data[0] == '<') {
        const std::string_view whole(begin, size);
        CheckDeclaredCharset(whole);
        CheckHtmlText(text::FromUtf8(whole));
    }
}

}  // namespace tarnwick::fuzz
