// A stored message through the whole MIME engine, as the mailbox reader uses
// it: the part tree is built, every known field is looked up on every part,
// every part's body is decoded (by copy and in place), the text-part and
// attachment searches run, and so do the summary, body and attachment reads
// of the mailbox pages. The input is copied into an exactly sized heap block
// so that any read past the message is caught.
//
// Invariants: every body lies in the message, leaf bodies follow each other
// in tree order without overlapping, decoding never gives more bytes than the
// body holds (nor writes past DecodedCapacity), the linear attachment walk
// agrees with the search that restarts at the root, the attachment list is
// exactly the named attachments, and every name on it finds an attachment of
// that name.
//
// Mail read as it is written today (Tarnwick.MailReader) has its own target:
// fuzz_mail_reader (MailReaderCheck.h).
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "fuzz/checks/Check.h"
#include "mailbox/stored/Reading.h"
#include "mime/Codecs.h"
#include "mime/stored/Part.h"
#include "text/NarrowText.h"

namespace tarnwick::fuzz {
namespace mime_message {

struct Walk {
    const char* begin;
    const char* end;
    const char* lastBodyEnd = nullptr;   // of the previous leaf in tree order
    std::size_t parts = 0;
};

inline bool IsEncoded(const mime::stored::Part& part) {
    char encoding[mime::stored::kValueBytes];
    if (!mime::stored::GetField(part, "Content-Transfer-Encoding", encoding)) return false;
    return mime::TransferEncodingOf(encoding) != mime::TransferEncoding::Identity;
}

inline void CheckDecoding(const mime::stored::Part& part) {
    const std::size_t capacity = DecodedCapacity(part);
    FUZZ_CHECK(capacity == (part.bodyBegin == nullptr ? 0 : part.BodySize()));
    // Exactly the capacity, so that a write past it is caught.
    std::unique_ptr<char[]> out(new char[capacity == 0 ? 1 : capacity]);
    const std::size_t count = DecodeBodyInto(part, out.get());
    FUZZ_CHECK(count <= capacity);
    const mime::stored::DecodedBody body = mime::stored::DecodeBody(part);
    FUZZ_CHECK(body.bytes.size() == capacity);
    FUZZ_CHECK(body.count == count);
    FUZZ_CHECK(count == 0 || std::memcmp(body.bytes.data(), out.get(), count) == 0);
    for (std::size_t i = count; i < body.bytes.size(); ++i) FUZZ_CHECK(body.bytes[i] == '\0');
    if (!IsEncoded(part)) {
        FUZZ_CHECK(count == capacity);
        FUZZ_CHECK(count == 0 || std::memcmp(out.get(), part.bodyBegin, count) == 0);
    }
}

inline void Visit(const mime::stored::Part& part, Walk& walk, int depth) {
    FUZZ_CHECK(depth <= mime::stored::kMaxNestingDepth);
    ++walk.parts;
    for (const auto& field : part.fields) {
        FUZZ_CHECK(field != nullptr);
        FUZZ_CHECK(mime::stored::Field::IsKnownName(field->Name()));
        FUZZ_CHECK(strnlen(field->Value(), mime::stored::kValueBytes) < mime::stored::kValueBytes);
    }
    for (const auto& name : mime::stored::KnownFieldNames) {
        char value[mime::stored::kValueBytes];
        if (!mime::stored::GetField(part, name, value)) continue;
        FUZZ_CHECK(value[mime::stored::kValueBytes - 1] == '\0');
    }
    if (part.bodyBegin != nullptr) {
        FUZZ_CHECK(walk.begin <= part.bodyBegin && part.bodyBegin <= part.bodyEnd && part.bodyEnd <= walk.end);
        FUZZ_CHECK(part.children.empty());
        FUZZ_CHECK(walk.lastBodyEnd == nullptr || walk.lastBodyEnd <= part.bodyBegin);
        walk.lastBodyEnd = part.bodyEnd;
    } else {
        FUZZ_CHECK(part.bodyEnd == nullptr);
    }
    CheckDecoding(part);
    for (const auto& child : part.children) {
        FUZZ_CHECK(child != nullptr);
        Visit(*child, walk, depth + 1);
    }
}

inline bool FileName(const mime::stored::Part& part, char (&name)[mime::stored::kValueBytes]) {
    return mime::stored::GetField(part, "filename", name);
}

inline std::string LowerAscii(std::string text) {
    for (char& c : text) c = text::LowerAscii(c);
    return text;
}

}  // namespace mime_message

inline void CheckMimeMessage(const std::uint8_t* data, std::size_t size) {
    using namespace mime_message;
    std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(bytes.get(), data, size);
    const char* begin = bytes.get();
    const char* end = begin + size;

    mime::stored::Part root(begin, end);
    Walk walk{begin, end};
    Visit(root, walk, 0);

    bool passed = false;
    mime::stored::FindPart(root, passed, nullptr, "Content-Type", "text/plain");

    // The one-walk list against the search from the root: the same first
    // attachment, and the same successor for the first few and the last.
    const std::vector<const mime::stored::Part*> attachments = mime::stored::Attachments(root);
    FUZZ_CHECK(attachments.size() <= walk.parts);
    passed = false;
    FUZZ_CHECK(mime::stored::FindPart(root, passed, nullptr, "Content-Disposition", "attachment") == (attachments.empty() ? nullptr : attachments[0]));
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        if (i >= 4 && i + 1 != attachments.size()) continue;
        passed = false;
        const mime::stored::Part* next = i + 1 < attachments.size() ? attachments[i + 1] : nullptr;
        FUZZ_CHECK(mime::stored::FindPart(root, passed, attachments[i], "Content-Disposition", "attachment") == next);
    }

    // What the mailbox pages read of it.
    const std::vector<std::string> summary = mailbox::stored::SummaryValues(root);
    FUZZ_CHECK(summary.size() <= 4);
    for (const std::string& value : summary) FUZZ_CHECK(value.size() <= mime::stored::kMaxTextBytes);
    FUZZ_CHECK(mailbox::stored::BodyText(root).size() <= size);

    // The list names exactly the attachments that have a file name, and every
    // name finds the first attachment of that name (ASCII case aside).
    std::string expected;
    std::unordered_set<std::string> looked;
    char name[mime::stored::kValueBytes];
    for (const mime::stored::Part* part : attachments) {
        char disposition[mime::stored::kValueBytes];
        FUZZ_CHECK(mime::stored::GetField(*part, "Content-Disposition", disposition));
        FUZZ_CHECK(std::strcmp(disposition, "attachment") == 0);
        if (!FileName(*part, name)) continue;
        expected += name;
        expected += mailbox::kAttachmentSeparator;
        if (!looked.insert(LowerAscii(name)).second) continue;
        const mime::stored::Part* found = mailbox::stored::FindAttachmentByName(root, name);
        FUZZ_CHECK(found != nullptr);
        char foundName[mime::stored::kValueBytes];
        FUZZ_CHECK(FileName(*found, foundName) && text::EqualIgnoringAsciiCase(foundName, name));
        FUZZ_CHECK(found == part);   // the first of that name is the one at hand
    }
    FUZZ_CHECK(mailbox::stored::AttachmentList(root) == expected);
}

}  // namespace tarnwick::fuzz
