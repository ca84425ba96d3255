// The attachments of every corpus message (TARNWICK_CORPUS_DIR/mail) as the
// mailbox pages offer them: the names of AttachmentList, and for each name the
// SHA-256 of the decoded bytes a download by that name gives
// (FindAttachmentByName, DecodeBody). They must equal what Python's email
// package finds, kept in data/corpus/attachments.txt (written by
// data/corpus/make_attachments.py). Messages where our header reader
// differs by its construction are listed with their reason in
// data/corpus/attachments-by-design.txt; every other message must match, and
// every listed one must still differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "mailbox/stored/Reading.h"
#include "mime/stored/Part.h"
#include "tests/unit/CorpusExpectations.h"
#include "tests/unit/Sha256.h"

namespace tarnwick::mailbox {
namespace {

using namespace test::corpus;

// The reasons attachments-by-design.txt may give.
const std::set<std::string> kReasons = {"content-type-name", "filename-star",  "attached-message",
                                        "letter-case",       "later-parameter", "charset",
                                        "folded",            "semicolon",       "unquoted-value",
                                        "parameter-line"};

// One "A <sha256> <name>" line per attachment, as attachments.txt has them.
std::string EngineAttachments(const std::string& path) {
    const test::ExactBytes message = ReadMessage(path);
    const mime::stored::Part root(message.begin(), message.end());
    const std::string list = stored::AttachmentList(root);
    const std::string separator = kAttachmentSeparator;
    std::string lines;
    for (std::size_t at = 0, next; (next = list.find(separator, at)) != std::string::npos;
         at = next + separator.size()) {
        const std::string name = list.substr(at, next - at);
        std::string digest = "<not found by its name>";
        if (const mime::stored::Part* part = stored::FindAttachmentByName(root, name)) {
            const mime::stored::DecodedBody body = DecodeBody(*part);
            digest = test::Sha256Hex(body.bytes.data(), body.count);
        }
        lines += Line("A " + digest, Escape(name));
    }
    return lines;
}

TEST(Sha256, StandardVector) {
    EXPECT_EQ(test::Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(test::Sha256Hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";   // 56 bytes
    EXPECT_EQ(test::Sha256Hex(twoBlocks.data(), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(MimeCorpusAttachments, EveryMessageGivesWhatPythonFinds) {
    const auto expected = ReadExpected("attachments.txt", false);
    const auto byDesign = ReadByDesign("attachments-by-design.txt", {}, kReasons);
    ASSERT_NO_FATAL_FAILURE(CheckListed(expected, "attachments.txt", byDesign, "attachments-by-design.txt"));

    std::size_t compared = 0;
    for (const auto& [path, view] : expected) {
        const std::string& python = view.attachments;
        const std::string engine = MaskUndecodable(EngineAttachments(path), python);
        const auto reason = byDesign.find({path, ""});
        if (reason == byDesign.end()) {
            if (engine != python)
                ADD_FAILURE() << "message " << path << "\nexpected (Python):\n"
                              << python << "actual (mailbox reader):\n"
                              << engine;
            compared += static_cast<std::size_t>(std::count(python.begin(), python.end(), '\n'));
        } else if (engine == python) {
            ADD_FAILURE() << "message " << path << " is listed in attachments-by-design.txt (" << reason->second
                          << ") but now gives what Python finds:\n"
                          << engine << "remove it from the list";
        }
    }
    EXPECT_GT(compared, 300u);
}

}  // namespace
}  // namespace tarnwick::mailbox
