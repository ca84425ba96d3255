// A stored message read as mail written today (mime::current::Part and what
// Tarnwick.MailReader returns through mailbox::current): the part tree,
// every Content-Type and Content-Disposition parameter decoded, the summary,
// the body, the attachment list and every leaf's download. The caller passes
// the message in an exactly sized heap block, so that any read past it is
// caught.
//
// Invariants: the tree nests no deeper than kMaxNestingDepth; a split part
// has no body and a leaf no children; leaf bodies lie in the message and
// follow each other in tree order; no field value is longer than
// kMaxFieldBytes; decoding writes no more than DecodedCapacity; the summary
// has its four slots; the body gives no more characters than the message
// has bytes; every attachment is a named leaf, the list names them in order,
// and looking a name up finds the first attachment of that name (ASCII case
// aside): the one at hand or an earlier namesake.
//
// Run by fuzz_mail_reader (MailReaderCheck.h).
#pragma once

#include <array>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/checks/Check.h"
#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"
#include "mime/stored/Part.h"
#include "text/NarrowText.h"

namespace tarnwick::fuzz {
namespace unicode_message {

struct Walk {
    const char* begin;
    const char* end;
    const char* lastBodyEnd = nullptr;
};

inline bool IsEncoded(const mime::current::Part& part) {
    const mime::current::Field* field = part.FindField("Content-Transfer-Encoding");
    if (field == nullptr) return false;
    const std::string encoding = mime::current::ParseStructured(field->value).value;
    return text::EqualIgnoringAsciiCase(encoding, "base64") ||
           text::EqualIgnoringAsciiCase(encoding, "quoted-printable");
}

// Decodes into a block of exactly the capacity; returns the bytes.
inline std::string Download(const mime::current::Part& part) {
    const std::size_t capacity = DecodedCapacity(part);
    std::unique_ptr<char[]> out(new char[capacity == 0 ? 1 : capacity]);
    const std::size_t count = DecodeBodyInto(part, out.get());
    FUZZ_CHECK(count <= capacity);
    return std::string(out.get(), count);
}

inline void Visit(const mime::current::Part& part, Walk& walk, int depth) {
    FUZZ_CHECK(depth <= mime::stored::kMaxNestingDepth);
    // Field text is decoded where the reader decodes it: the summary fields
    // (SummaryValues) and the parameters below.
    for (const mime::current::Field& field : part.fields) FUZZ_CHECK(field.value.size() <= mime::current::kMaxFieldBytes);
    for (const char* name : {"Content-Type", "Content-Disposition"}) {
        const mime::current::Field* field = part.FindField(name);
        if (field == nullptr) continue;
        const mime::current::StructuredValue value = mime::current::ParseStructured(field->value);
        std::set<std::string> names;
        for (const mime::current::Parameter& parameter : value.parameters) {
            FUZZ_CHECK(!parameter.name.empty());
            FUZZ_CHECK(names.insert(parameter.name).second);   // one per name
            FUZZ_CHECK(parameter.value.size() <= mime::current::kMaxFieldBytes);
            mime::current::ParameterText(parameter);
        }
    }
    if (part.bodyBegin != nullptr) {
        FUZZ_CHECK(walk.begin <= part.bodyBegin && part.bodyBegin <= part.bodyEnd && part.bodyEnd <= walk.end);
        FUZZ_CHECK(part.children.empty());
        FUZZ_CHECK(walk.lastBodyEnd == nullptr || walk.lastBodyEnd <= part.bodyBegin);
        walk.lastBodyEnd = part.bodyEnd;
        const std::string bytes = Download(part);
        if (!IsEncoded(part)) FUZZ_CHECK(bytes == std::string(part.bodyBegin, part.bodyEnd));
    } else {
        FUZZ_CHECK(part.bodyEnd == nullptr);
        FUZZ_CHECK(DecodedCapacity(part) == 0);
    }
    for (const auto& child : part.children) {
        FUZZ_CHECK(child != nullptr);
        Visit(*child, walk, depth + 1);
    }
}

inline bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Names looked up by FindAttachmentByName: each lookup reads every part's
// header again, so only the first and the last are checked.
constexpr std::size_t kLookups = 1;

}  // namespace unicode_message

// root: the tree built over [begin, end).
inline void CheckUnicodeMessage(const mime::current::Part& root, const char* begin, const char* end) {
    using namespace unicode_message;
    namespace reader = mailbox::current;
    Walk walk{begin, end};
    Visit(root, walk, 0);

    const std::array<std::u16string, 4> summary = reader::SummaryValues(root);
    std::u16string line;
    for (const std::u16string& value : summary) line += value + u"||||";
    FUZZ_CHECK(reader::SummaryLine(root) == line);
    FUZZ_CHECK(reader::BodyText(root).size() <= static_cast<std::size_t>(end - begin));

    const std::vector<reader::Attachment> attachments = reader::Attachments(root);
    std::u16string list;
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        const reader::Attachment& attachment = attachments[i];
        FUZZ_CHECK(attachment.part != nullptr && attachment.part->bodyBegin != nullptr);
        FUZZ_CHECK(!attachment.name.empty());
        FUZZ_CHECK(!reader::AttachmentContentType(*attachment.part).empty());
        // Its download was checked with its leaf (Visit).
        list += attachment.name + u"||";
        if (i >= kLookups && i + 1 != attachments.size()) continue;
        std::size_t first = 0;
        while (!SameName(attachments[first].name, attachment.name)) ++first;
        FUZZ_CHECK(reader::FindAttachmentByName(root, attachment.name) == attachments[first].part);
    }
    FUZZ_CHECK(reader::AttachmentList(root) == list);
}

}  // namespace tarnwick::fuzz
