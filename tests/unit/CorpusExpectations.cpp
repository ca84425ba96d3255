#include "tests/unit/CorpusExpectations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace tarnwick::test::corpus {
namespace {

namespace fs = std::filesystem;

const fs::path kMailDir = fs::path(TARNWICK_CORPUS_DIR) / "mail";
const fs::path kDataDir = fs::path(TARNWICK_CORPUS_DIR) / ".." / ".." / "unit" / "data" / "corpus";

bool Skipped(const std::string& line) { return line.empty() || line[0] == '#'; }

std::vector<std::string> CorpusPaths() {
    std::vector<std::string> paths;
    if (!fs::is_directory(kMailDir)) return paths;
    for (const auto& entry : fs::recursive_directory_iterator(kMailDir))
        if (entry.is_regular_file()) paths.push_back(entry.path().lexically_relative(kMailDir).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

ExactBytes ReadMessage(const std::string& path) { return ExactBytes(ReadFile((kMailDir / path).string())); }

std::string Escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
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

std::vector<std::pair<std::string, View>> ReadExpected(const std::string& file, bool reader) {
    std::vector<std::pair<std::string, View>> messages;
    std::istringstream in(ReadFile((kDataDir / file).string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        if (line.rfind("M ", 0) == 0) {
            messages.emplace_back(line.substr(2), View());
        } else if (messages.empty()) {
            ADD_FAILURE() << file << ": a line before the first message: " << line;
        } else if (reader && (line == "S" || line.rfind("S ", 0) == 0)) {
            messages.back().second.subject = line + "\n";
        } else if (reader && (line == "B" || line.rfind("B ", 0) == 0)) {
            messages.back().second.body = line + "\n";
        } else if (line.rfind("A ", 0) == 0) {
            messages.back().second.attachments += line + "\n";
        } else {
            ADD_FAILURE() << file << ": unreadable line: " << line;
        }
    }
    return messages;
}

ByDesign ReadByDesign(const std::string& file, const std::set<std::string>& aspects,
                      const std::set<std::string>& reasons) {
    ByDesign listed;
    std::istringstream in(ReadFile((kDataDir / file).string()));
    for (std::string line; std::getline(in, line);) {
        if (Skipped(line)) continue;
        std::istringstream words(line);
        std::string path, aspect, reason, given;
        words >> path;
        if (!aspects.empty()) {
            words >> aspect;
            EXPECT_EQ(aspects.count(aspect), 1u) << file << ": unknown aspect in: " << line;
        }
        while (words >> reason && reason[0] != '#') {
            EXPECT_EQ(reasons.count(reason), 1u) << file << ": unknown reason " << reason;
            given += (given.empty() ? "" : " ") + reason;
        }
        EXPECT_FALSE(given.empty()) << file << ": no reason in: " << line;
        EXPECT_TRUE(listed.emplace(std::make_pair(path, aspect), given).second) << file << ": listed twice: " << line;
    }
    return listed;
}

void CheckListed(const std::vector<std::pair<std::string, View>>& expected, const std::string& file,
                 const ByDesign& byDesign, const std::string& byDesignFile) {
    std::vector<std::string> listedPaths;
    for (const auto& message : expected) listedPaths.push_back(message.first);
    ASSERT_GE(listedPaths.size(), 400u) << file << " not found under " << kDataDir;
    ASSERT_EQ(CorpusPaths(), listedPaths) << "the corpus changed: run the script that writes " << file;
    for (const auto& entry : byDesign)
        EXPECT_TRUE(std::binary_search(listedPaths.begin(), listedPaths.end(), entry.first.first))
            << byDesignFile << " lists a message not in the corpus: " << entry.first.first;
}

std::string MaskUndecodable(const std::string& actual, const std::string& python) {
    std::istringstream actualLines(actual), pythonLines(python);
    std::string out;
    for (std::string line, expected; std::getline(actualLines, line);) {
        if (!std::getline(pythonLines, expected)) expected.clear();
        if (expected == "A -" || expected.rfind("A - ", 0) == 0) {
            const std::size_t name = line.find(' ', 2);
            line = "A -" + (name == std::string::npos ? "" : line.substr(name));
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace tarnwick::test::corpus
