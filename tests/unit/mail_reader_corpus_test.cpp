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
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mailbox/UnicodeMessageReader.h"
#include "mime/MessagePart.h"
#include "tests/unit/Sha256.h"
#include "tests/unit/TestFiles.h"
#include "text/Charsets.h"

namespace tarnwick::mailbox::unicode {
namespace {

namespace fs = std::filesystem;

const fs::path kMailDir = fs::path(TARNWICK_CORPUS_DIR) / "mail";
const fs::path kDataDir = fs::path(TARNWICK_CORPUS_DIR) / ".." / ".." / "unit" / "data" / "corpus";

// The aspects of a message compared, and the reasons reader-by-design.txt may
// give for a difference in one.
const std::set<std::string> kAspects = {"subject", "attachments"};
const std::set<std::string> kReasons = {"raw-8bit",    "python-charset", "bad-sequence", "b-length",
                                        "not-a-field", "unquoted-value", "after-close"};

// The least share of messages that must agree, in percent.
constexpr double kMinAgreement = 97.0;

// Text as reader-expectations.txt writes it: UTF-8, with '%' and bytes
// outside 0x21..0x7E as %XX.
std::string Escape(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8) {
        if (c == '%' || c <= 0x20 || c >= 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Line(const std::string& head, const std::string& text) {
    return head + (text.empty() ? "" : " " + text) + "\n";
}

struct View {
    std::string subject;       // its "S" line, or empty
    std::string attachments;   // its "A" lines
};

// The reader's view, in the file's lines. Its subject is empty for a missing
// field; an empty subject is written as a line only when Python has one.
View ReaderView(const std::string& path, bool subjectLine) {
    const test::ExactBytes message(test::ReadFile(path));
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

// Where Python could not decode an attachment ("A - <name>"), only the name
// is compared: the reader's digest on the same line becomes "-" too.
std::string MaskUndecodable(const std::string& reader, const std::string& python) {
    std::istringstream readerLines(reader), pythonLines(python);
    std::string out;
    for (std::string line, expected; std::getline(readerLines, line);) {
        if (!std::getline(pythonLines, expected)) expected.clear();
        if (expected == "A -" || expected.rfind("A - ", 0) == 0) {
            const std::size_t name = line.find(' ', 2);
            line = "A -" + (name == std::string::npos ? "" : line.substr(name));
        }
        out += line + "\n";
    }
    return out;
}

bool Skipped(const std::string& line) { return line.empty() || line[0] == '#'; }

// reader-expectations.txt: message path -> Python's view, in file order.
std::vector<std::pair<std::string, View>> ReadExpected() {
    std::vector<std::pair<std::string, View>> messages;
    std::istringstream in(test::ReadFile((kDataDir / "reader-expectations.txt").string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        if (line.rfind("M ", 0) == 0) {
            messages.emplace_back(line.substr(2), View());
        } else if (messages.empty()) {
            ADD_FAILURE() << "reader-expectations.txt: a line before the first message: " << line;
        } else if (line == "S" || line.rfind("S ", 0) == 0) {
            messages.back().second.subject = line + "\n";
        } else if (line.rfind("A ", 0) == 0) {
            messages.back().second.attachments += line + "\n";
        } else {
            ADD_FAILURE() << "reader-expectations.txt: unreadable line: " << line;
        }
    }
    return messages;
}

// reader-by-design.txt: (message path, aspect) -> its reasons (a note after
// '#' is skipped).
std::map<std::pair<std::string, std::string>, std::string> ReadByDesign() {
    std::map<std::pair<std::string, std::string>, std::string> listed;
    std::istringstream in(test::ReadFile((kDataDir / "reader-by-design.txt").string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        std::istringstream words(line);
        std::string path, aspect, reason, reasons;
        words >> path >> aspect;
        EXPECT_EQ(kAspects.count(aspect), 1u) << "reader-by-design.txt: unknown aspect in: " << line;
        while (words >> reason && reason[0] != '#') {
            EXPECT_EQ(kReasons.count(reason), 1u) << "reader-by-design.txt: unknown reason " << reason;
            reasons += (reasons.empty() ? "" : " ") + reason;
        }
        EXPECT_FALSE(reasons.empty()) << "reader-by-design.txt: no reason in: " << line;
        EXPECT_TRUE(listed.emplace(std::make_pair(path, aspect), reasons).second)
            << "reader-by-design.txt: listed twice: " << path << " " << aspect;
    }
    return listed;
}

std::vector<std::string> CorpusPaths() {
    std::vector<std::string> paths;
    if (!fs::is_directory(kMailDir)) return paths;
    for (const auto& entry : fs::recursive_directory_iterator(kMailDir))
        if (entry.is_regular_file()) paths.push_back(entry.path().lexically_relative(kMailDir).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

double Percent(std::size_t part, std::size_t whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }

TEST(MailReaderCorpus, SubjectsAndAttachmentsAreWhatPythonReads) {
    const auto expected = ReadExpected();
    const auto byDesign = ReadByDesign();
    std::vector<std::string> listedPaths;
    for (const auto& message : expected) listedPaths.push_back(message.first);
    ASSERT_GE(listedPaths.size(), 400u) << "reader-expectations.txt not found under " << kDataDir;
    ASSERT_EQ(CorpusPaths(), listedPaths) << "the corpus changed: run make_reader_expectations.py";
    for (const auto& entry : byDesign)
        EXPECT_TRUE(std::binary_search(listedPaths.begin(), listedPaths.end(), entry.first.first))
            << "reader-by-design.txt lists a message not in the corpus: " << entry.first.first;

    std::size_t subjectsAgreeing = 0, withAttachments = 0, attachmentsAgreeing = 0;
    for (const auto& [path, python] : expected) {
        View reader = ReaderView((kMailDir / path).string(), !python.subject.empty());
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
