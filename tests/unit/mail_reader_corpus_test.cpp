// Every corpus message (TARNWICK_CORPUS_DIR/mail) read by the Unicode mail
// reader: its subject (SummaryValues slot 2), its attachments (Attachments,
// and for each name the SHA-256 of the bytes a download by that name gives,
// FindAttachmentByName then DecodeBodyInto) and its body (BodyText, blanks
// normalised, as a SHA-256). They must equal what Python's
// email package reads, kept in data/corpus/reader-expectations.txt (written by
// data/corpus/make_reader_expectations.py). Where the reader differs for a
// stated reason, the message and the aspect that differs are listed in
// data/corpus/reader-by-design.txt; every other message must match, and every
// listed difference must still be there.
#include <gtest/gtest.h>

#include "tests/unit/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"
#include "tests/unit/CorpusExpectations.h"
#include "tests/unit/Sha256.h"
#include "text/Charsets.h"

namespace tarnwick::mailbox::current {
namespace {

using namespace test::corpus;

// The aspects of a message compared, and the reasons reader-by-design.txt may
// give for a difference in one.
const std::set<std::string> kAspects = {"subject", "attachments", "body"};
const std::set<std::string> kReasons = {
    "raw-8bit",      "python-charset", "bad-sequence", "b-length",         "not-a-field", "unquoted-value",
    "after-close",   "superset-charset", "bad-bytes", "nul", "blank-fold", "not-base64", "empty-last-part"};

// The least share of messages that must agree, in percent.
constexpr double kMinAgreement = 97.0;
// Bodies agree less: 8-bit text without a charset (or with one that is
// wrong) reads in the system code page where Python reads U+FFFD (raw-8bit),
// and a few malformed messages keep text Python drops; reader-by-design.txt
// lists each.
constexpr double kMinBodyAgreement = 94.0;


// The body line of normalised text: "B <its SHA-256>", "B" alone when empty.
std::string BodyLine(const std::string& normalised) {
    return Line("B", normalised.empty() ? "" : test::Sha256Hex(normalised.data(), normalised.size()));
}

// The reader's view, in the file's lines. Its subject is empty for a missing
// field; an empty subject is written as a line only when Python has one.
View ReaderView(const std::string& path, bool subjectLine, std::string* bodyText) {
    const test::ExactBytes message = ReadMessage(path);
    const mime::current::Part root(message.begin(), message.end());
    View view;
    const std::string subject = text::ToUtf8(SummaryValues(root)[2]);
    if (!subject.empty() || subjectLine) view.subject = Line("S", Escape(subject));

    std::u16string list;
    for (const Attachment& attachment : Attachments(root)) {
        list += attachment.name + u"||";
        std::string digest = "<not found by its name>";
        if (const mime::current::Part* part = FindAttachmentByName(root, attachment.name)) {
            // Exactly the capacity the reader asks for, so that AddressSanitizer
            // sees any write beyond it.
            const std::size_t capacity = DecodedCapacity(*part);
            const std::unique_ptr<char[]> bytes(new char[capacity]);
            const std::size_t count = DecodeBodyInto(*part, bytes.get());
            EXPECT_LE(count, capacity) << path;
            digest = test::Sha256Hex(bytes.get(), std::min(count, capacity));
        }
        view.attachments += Line("A " + digest, Escape(text::ToUtf8(attachment.name)));
    }
    EXPECT_EQ(AttachmentList(root), list) << path;
    *bodyText = test::BlanksNormalised(text::ToUtf8(BodyText(root)));
    view.body = BodyLine(*bodyText);
    return view;
}

double Percent(std::size_t part, std::size_t whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }

TEST(MailReaderCorpus, SubjectsAttachmentsAndBodiesAreWhatPythonReads) {
    const auto expected = ReadExpected("reader-expectations.txt", true);
    const auto byDesign = ReadByDesign("reader-by-design.txt", kAspects, kReasons);
    ASSERT_NO_FATAL_FAILURE(CheckListed(expected, "reader-expectations.txt", byDesign, "reader-by-design.txt"));

    std::size_t subjectsAgreeing = 0, withAttachments = 0, attachmentsAgreeing = 0, bodiesAgreeing = 0;
    for (const auto& [path, python] : expected) {
        std::string bodyText;
        View reader = ReaderView(path, !python.subject.empty(), &bodyText);
        reader.attachments = MaskUndecodable(reader.attachments, python.attachments);
        const std::pair<const char*, bool> aspects[] = {
            {"subject", reader.subject == python.subject},
            {"attachments", reader.attachments == python.attachments},
            {"body", reader.body == python.body},
        };
        subjectsAgreeing += aspects[0].second;
        if (!reader.attachments.empty() || !python.attachments.empty()) {
            ++withAttachments;
            attachmentsAgreeing += aspects[1].second;
        }
        bodiesAgreeing += aspects[2].second;
        for (const auto& [aspect, agrees] : aspects) {
            const auto reason = byDesign.find(std::make_pair(path, std::string(aspect)));
            if (reason == byDesign.end() && !agrees) {
                ADD_FAILURE() << "message " << path << ", " << aspect << "\nexpected (Python):\n"
                              << python.subject << python.attachments << python.body << "actual (mail reader):\n"
                              << reader.subject << reader.attachments << reader.body
                              << "the reader's body, blanks normalised (make_reader_expectations.py --body " << path
                              << " prints Python's):\n"
                              << bodyText.substr(0, 2000);
            } else if (reason != byDesign.end() && agrees) {
                ADD_FAILURE() << "message " << path << " is listed in reader-by-design.txt (" << aspect << ": "
                              << reason->second << ") but now reads as Python does: remove it from the list";
            }
        }
    }

    const double subjects = Percent(subjectsAgreeing, expected.size());
    const double attachments = Percent(attachmentsAgreeing, withAttachments);
    const double bodies = Percent(bodiesAgreeing, expected.size());
    char figures[300];
    std::snprintf(figures, sizeof figures,
                  "subjects agreeing with Python: %zu/%zu (%.1f%%); messages with attachments agreeing: "
                  "%zu/%zu (%.1f%%); bodies agreeing: %zu/%zu (%.1f%%)",
                  subjectsAgreeing, expected.size(), subjects, attachmentsAgreeing, withAttachments, attachments,
                  bodiesAgreeing, expected.size(), bodies);
    std::printf("[ figures  ] %s\n", figures);
    RecordProperty("figures", figures);
    EXPECT_GE(subjects, kMinAgreement);
    EXPECT_GE(attachments, kMinAgreement);
    EXPECT_GE(bodies, kMinBodyAgreement);
    EXPECT_GT(withAttachments, 100u);
}

}  // namespace
}  // namespace tarnwick::mailbox::current
