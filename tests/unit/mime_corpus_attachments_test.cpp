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
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mailbox/MessageReader.h"
#include "mime/MimePart.h"
#include "tests/unit/Sha256.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::mailbox {
namespace {

namespace fs = std::filesystem;

const fs::path kMailDir = fs::path(TARNWICK_CORPUS_DIR) / "mail";
const fs::path kDataDir = fs::path(TARNWICK_CORPUS_DIR) / ".." / ".." / "unit" / "data" / "corpus";

// The reasons attachments-by-design.txt may give.
const std::set<std::string> kReasons = {"content-type-name", "filename-star",  "attached-message",
                                        "letter-case",       "later-parameter", "charset",
                                        "folded",            "semicolon",       "unquoted-value",
                                        "parameter-line"};

// A name as attachments.txt writes it: '%', space and bytes outside
// 0x21..0x7E as %XX.
std::string Escape(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
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

// One "A <sha256> <name>" line per attachment, as attachments.txt has them.
std::string EngineAttachments(const std::string& path) {
    const test::ExactBytes message(test::ReadFile(path));
    const mime::MimePart root(message.begin(), message.end());
    const std::string list = AttachmentList(root);
    const std::string separator = kAttachmentSeparator;
    std::string lines;
    for (std::size_t at = 0, next; (next = list.find(separator, at)) != std::string::npos;
         at = next + separator.size()) {
        const std::string name = list.substr(at, next - at);
        std::string digest = "<not found by its name>";
        if (const mime::MimePart* part = FindAttachmentByName(root, name)) {
            const mime::DecodedBody body = DecodeBody(*part);
            digest = test::Sha256Hex(body.bytes.data(), body.count);
        }
        lines += "A " + digest + (name.empty() ? "" : " " + Escape(name)) + "\n";
    }
    return lines;
}

// Where Python could not decode an attachment ("A - <name>"), only the name
// is compared: the engine's digest on the same line becomes "-" too.
std::string MaskUndecodable(const std::string& engine, const std::string& python) {
    std::istringstream engineLines(engine), pythonLines(python);
    std::string out;
    for (std::string line, expected; std::getline(engineLines, line);) {
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

// attachments.txt: message path -> its "A" lines, in file order.
std::vector<std::pair<std::string, std::string>> ReadExpected() {
    std::vector<std::pair<std::string, std::string>> messages;
    std::istringstream in(test::ReadFile((kDataDir / "attachments.txt").string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        if (line.rfind("M ", 0) == 0) {
            messages.emplace_back(line.substr(2), "");
        } else if (line.rfind("A ", 0) == 0 && !messages.empty()) {
            messages.back().second += line + "\n";
        } else {
            ADD_FAILURE() << "attachments.txt: unreadable line: " << line;
        }
    }
    return messages;
}

// attachments-by-design.txt: message path -> its reasons (a note after '#'
// is skipped).
std::map<std::string, std::string> ReadByDesign() {
    std::map<std::string, std::string> listed;
    std::istringstream in(test::ReadFile((kDataDir / "attachments-by-design.txt").string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        std::istringstream words(line);
        std::string path, reason, reasons;
        words >> path;
        while (words >> reason && reason[0] != '#') {
            EXPECT_EQ(kReasons.count(reason), 1u) << "attachments-by-design.txt: unknown reason " << reason;
            reasons += (reasons.empty() ? "" : " ") + reason;
        }
        EXPECT_FALSE(reasons.empty()) << "attachments-by-design.txt: no reason for " << path;
        EXPECT_TRUE(listed.emplace(path, reasons).second) << "attachments-by-design.txt: listed twice: " << path;
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

TEST(Sha256, StandardVector) {
    EXPECT_EQ(test::Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(test::Sha256Hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";   // 56 bytes
    EXPECT_EQ(test::Sha256Hex(twoBlocks.data(), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(MimeCorpusAttachments, EveryMessageGivesWhatPythonFinds) {
    const auto expected = ReadExpected();
    const auto byDesign = ReadByDesign();
    std::vector<std::string> listedPaths;
    for (const auto& message : expected) listedPaths.push_back(message.first);
    ASSERT_GE(listedPaths.size(), 400u) << "attachments.txt not found under " << kDataDir;
    ASSERT_EQ(CorpusPaths(), listedPaths) << "the corpus changed: run make_attachments.py";
    for (const auto& entry : byDesign)
        EXPECT_TRUE(std::binary_search(listedPaths.begin(), listedPaths.end(), entry.first))
            << "attachments-by-design.txt lists a message not in the corpus: " << entry.first;

    std::size_t compared = 0;
    for (const auto& [path, python] : expected) {
        const std::string engine = MaskUndecodable(EngineAttachments((kMailDir / path).string()), python);
        const auto reason = byDesign.find(path);
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
