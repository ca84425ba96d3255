// Every corpus message (TARNWICK_CORPUS_DIR/mail) read by the Unicode mail
// reader: its subject (SummaryValues slot 2) and its attachments (Attachments,
// and for each name the SHA-256 of the bytes a download by that name gives,
// FindAttachmentByName then DecodeBodyInto). They must equal what Python's
// email package reads, kept in data/corpus/reader-expectations.txt (written by
// data/corpus/make_reader_expectations.py). Where the reader differs for a
// stated reason, the message and the aspect that differs are listed in
// data/corpus/reader-by-design.txt; every other message must match, and every
// listed difference must still be there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "mailbox/UnicodeMessageReader.h"
#include "mime/MessagePart.h"
#include "tests/unit/CorpusExpectations.h"
#include "tests/unit/Sha256.h"
#include "text/Charsets.h"

namespace tarnwick::mailbox::unicode {
namespace {

using namespace test::corpus;

// The aspects of a message compared, and the reasons reader-by-design.txt may
// give for a difference in one.
const std::set<std::string> kAspects = {"subject", "attachments"};
const std::set<std::string> kReasons = {"raw-8bit",    "python-charset", "bad-sequence", "b-length",
                                        "not-a-field", "unquoted-value", "after-close"};

// The least share of messages that must agree, in percent.
constexpr double kMinAgreement = 97.0;

// The reader's view, in the file's lines. Its subject is empty for a missing
// field; an empty subject is written as a line only when Python has one.
View ReaderView(const std::string& path, bool subjectLine) {
    const test::ExactBytes message = ReadMessage(path);
    const mime::MessagePart root(message.begin(), message.end());
    View view;
    const std::string subject = text::ToUtf8(SummaryValues(root)[2]);
    if (!subject.empty() || subjectLine) view.subject = Line("S", Escape(subject));

    std::u16string list;
    for (const Attachment& attachment : Attachments(root)) {
        list += attachment.name + u"||";
        std::string digest = "<not found by its name>";
        if (const mime::MessagePart* part = FindAttachmentByName(root, attachment.name)) {
            // Exactly the capacity the reader asks for, so that AddressSanitizer
            // sees any write beyond it.
            const std::size_t capacity = mime::DecodedCapacity(*part);
            const std::unique_ptr<char[]> bytes(new char[capacity]);
            const std::size_t count = mime::DecodeBodyInto(*part, bytes.get());
            EXPECT_LE(count, capacity) << path;
            digest = test::Sha256Hex(bytes.get(), std::min(count, capacity));
        }
        view.attachments += Line("A " + digest, Escape(text::ToUtf8(attachment.name)));
    }
    EXPECT_EQ(AttachmentList(root), list) << path;
    return view;
}

double Percent(std::size_t part, std::size_t whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }

TEST(MailReaderCorpus, SubjectsAndAttachmentsAreWhatPythonReads) {
    const auto expected = ReadExpected("reader-expectations.txt", true);
    const auto byDesign = ReadByDesign("reader-by-design.txt", kAspects, kReasons);
    ASSERT_NO_FATAL_FAILURE(CheckListed(expected, "reader-expectations.txt", byDesign, "reader-by-design.txt"));

    std::size_t subjectsAgreeing = 0, withAttachments = 0, attachmentsAgreeing = 0;
    for (const auto& [path, python] : expected) {
        View reader = ReaderView(path, !python.subject.empty());
        reader.attachments = MaskUndecodable(reader.attachments, python.attachments);
        const std::pair<const char*, bool> aspects[] = {
            {"subject", reader.subject == python.subject},
            {"attachments", reader.attachments == python.attachments},
        };
        subjectsAgreeing += aspects[0].second;
        if (!reader.attachments.empty() || !python.attachments.empty()) {
            ++withAttachments;
            attachmentsAgreeing += aspects[1].second;
        }
        for (const auto& [aspect, agrees] : aspects) {
            const auto reason = byDesign.find(std::make_pair(path, std::string(aspect)));
            if (reason == byDesign.end() && !agrees) {
                ADD_FAILURE() << "message " << path << ", " << aspect << "\nexpected (Python):\n"
                              << python.subject << python.attachments << "actual (mail reader):\n"
                              << reader.subject << reader.attachments;
            } else if (reason != byDesign.end() && agrees) {
                ADD_FAILURE() << "message " << path << " is listed in reader-by-design.txt (" << aspect << ": "
                              << reason->second << ") but now reads as Python does: remove it from the list";
            }
        }
    }

    const double subjects = Percent(subjectsAgreeing, expected.size());
    const double attachments = Percent(attachmentsAgreeing, withAttachments);
    char figures[200];
    std::snprintf(figures, sizeof figures,
                  "subjects agreeing with Python: %zu/%zu (%.1f%%); messages with attachments agreeing: "
                  "%zu/%zu (%.1f%%)",
                  subjectsAgreeing, expected.size(), subjects, attachmentsAgreeing, withAttachments, attachments);
    std::printf("[ figures  ] %s\n", figures);
    RecordProperty("figures", figures);
    EXPECT_GE(subjects, kMinAgreement);
    EXPECT_GE(attachments, kMinAgreement);
    EXPECT_GT(withAttachments, 100u);
}

}  // namespace
}  // namespace tarnwick::mailbox::unicode
