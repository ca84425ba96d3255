// What the corpus tests share: the messages of TARNWICK_CORPUS_DIR/mail, the
// expectation files Python's email package wrote under data/corpus and the
// lists of differences kept there by hand.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace tarnwick::test::corpus {

// A message's lines in an expectation file.
struct View {
    std::string subject;       // its "S" line, or empty
    std::string attachments;   // its "A" lines
    std::string body;          // its "B" line, or empty
};

// (message path, aspect) -> the reasons given for a difference; the aspect
// is empty in a list without aspects.
using ByDesign = std::map<std::pair<std::string, std::string>, std::string>;

// The bytes of a message (its path relative to the mail folder) in a block of
// exactly their size.
ExactBytes ReadMessage(const std::string& path);

// Text as the expectation files write it: '%' and bytes outside 0x21..0x7E
// (space included) as %XX.
std::string Escape(const std::string& bytes);

// "<head> <text>\n", or "<head>\n" for empty text.
std::string Line(const std::string& head, const std::string& text);

// An expectation file of data/corpus: message path -> Python's view, in file
// order. "S" and "B" lines are read only where `reader` (the mail reader's
// file); any other line fails.
std::vector<std::pair<std::string, View>> ReadExpected(const std::string& file, bool reader);

// A list of differences of data/corpus, one a line: "<path> <aspect>
// <reason>..." ("<path> <reason>..." where `aspects` is empty), optionally
// followed by a note after '#'. Fails on an unknown aspect or reason.
ByDesign ReadByDesign(const std::string& file, const std::set<std::string>& aspects,
                      const std::set<std::string>& reasons);

// Fails fatally unless `expected` (read from `file`) lists every corpus
// message (at least 400) in order, and fails for each message `byDesign` (read
// from `byDesignFile`) lists that is not there.
void CheckListed(const std::vector<std::pair<std::string, View>>& expected, const std::string& file,
                 const ByDesign& byDesign, const std::string& byDesignFile);

// Where Python could not decode an attachment ("A - <name>"), only the name
// is compared: the digest on the same line of `actual` becomes "-" too.
std::string MaskUndecodable(const std::string& actual, const std::string& python);

}  // namespace tarnwick::test::corpus
