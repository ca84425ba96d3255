// Message composer, text handling: white-space trimming, the text part's line
// wrapping and attachment base names. Expected texts follow the rules by
// hand: the column counter passes 76 at byte 77 of a first line, at byte 75
// (the 76th) of a line after an explicit CR LF, and after a break it restarts
// with the byte that made the break due.
#include "sendmail/MessageText.h"

#include <gtest/gtest.h>

#include "tests/unit/TestFiles.h"

#include <algorithm>
#include <string>

namespace tarnwick::sendmail {
namespace {

using namespace std::string_literals;

std::string S(std::size_t n, char c) { return std::string(n, c); }
using test::Times;

TEST(ComposerTrim, DropsWhiteSpaceAtBothEndsButNotInsideACharacter) {
    struct Row { std::string in, out; } rows[] = {
        {"", ""},
        {" \t\r\n\v\f", ""},
        {"  a b\t\r\n", "a b"},
        {"\r\nline one\r\n\r\nline two\r\n", "line one\r\n\r\nline two"},
        {"a\x81 ", "a\x81 "},               // 0x81 0x20 is one character
        {"a\x81\x81 ", "a\x81\x81"},        // a whole character, then a space
        {"\xd6\xd0\xce\xc4 \t", "\xd6\xd0\xce\xc4"},
        {"x\x81", "x\x81"},
    };
    for (const Row& row : rows) EXPECT_EQ(TrimWhiteSpace(row.in), row.out) << row.in;
}

TEST(ComposerWrap, FollowsTheCounterRules) {
    const std::string words100 =
        "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhhhhhhh iiiiiiiii jjjjjjjjjj";
    ASSERT_EQ(words100.size(), 100u);
    struct Row { const char* name; std::string in, out; } rows[] = {
        {"empty", "", ""},
        {"short", "Hello world", "Hello world"},
        {"77 bytes stay", S(70, 'a') + " " + S(6, 'b'), S(70, 'a') + " " + S(6, 'b')},
        {"byte 77 breaks", S(70, 'a') + " " + S(7, 'b'), S(70, 'a') + "\r\n" + S(7, 'b')},
        {"100 bytes of words: last space at or before 77 is dropped", words100,
         "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg\r\n"
         "hhhhhhhhh iiiiiiiii jjjjjjjjjj"},
        {"the space at 77 is the break", S(40, 'a') + " " + S(36, 'b') + " " + S(30, 'c'),
         S(40, 'a') + " " + S(36, 'b') + "\r\n" + S(30, 'c')},
        {"CR and LF count: 75 bytes stay", "hi\r\n" + S(70, 'a') + " " + S(4, 'b'),
         "hi\r\n" + S(70, 'a') + " " + S(4, 'b')},
        {"CR and LF count: the 76th byte breaks", "hi\r\n" + S(70, 'a') + " " + S(5, 'b'),
         "hi\r\n" + S(70, 'a') + "\r\n" + S(5, 'b')},
        // Second line counted from byte 77: next break due at byte 154.
        {"restart at the trigger: 153 is not yet due", S(70, 'a') + " " + S(20, 'b') + " " + S(62, 'c'),
         S(70, 'a') + "\r\n" + S(20, 'b') + " " + S(62, 'c')},
        {"restart at the trigger: 154 is due", S(70, 'a') + " " + S(20, 'b') + " " + S(63, 'c'),
         S(70, 'a') + "\r\n" + S(20, 'b') + "\r\n" + S(63, 'c')},
        // Breaking at the space itself: the inserted LF is the next byte
        // counted, so the next break is due at input byte 154.
        {"after a break at the trigger the LF counts",
         S(40, 'a') + " " + S(36, 'b') + " " + S(30, 'c') + " " + S(46, 'd'),
         S(40, 'a') + " " + S(36, 'b') + "\r\n" + S(30, 'c') + "\r\n" + S(46, 'd')},
        {"after a break at the trigger, 153 is not yet due",
         S(40, 'a') + " " + S(36, 'b') + " " + S(30, 'c') + " " + S(45, 'd'),
         S(40, 'a') + " " + S(36, 'b') + "\r\n" + S(30, 'c') + " " + S(45, 'd')},
        // Three spaces give way to two bytes: the walk goes on two input
        // bytes later, so the next break is due at input byte 156.
        {"white space run dropped, 155 not yet due", S(70, 'a') + "   " + S(20, 'b') + " " + S(62, 'c'),
         S(70, 'a') + "\r\n" + S(20, 'b') + " " + S(62, 'c')},
        {"white space run dropped, 156 due", S(70, 'a') + "   " + S(20, 'b') + " " + S(63, 'c'),
         S(70, 'a') + "\r\n" + S(20, 'b') + "\r\n" + S(63, 'c')},
        {"tab before the space dropped", S(70, 'a') + "\t " + S(7, 'b'), S(70, 'a') + "\r\n" + S(7, 'b')},
        {"tab after the space dropped", S(70, 'a') + " \t" + S(7, 'b'), S(70, 'a') + "\r\n" + S(7, 'b')},
        {"line ends after the space kept", S(40, 'a') + " " + S(36, 'b') + " \r\n\r\nccc",
         S(40, 'a') + " " + S(36, 'b') + "\r\n\r\nccc"},
        {"indentation is no place to break", "abc\r\n\r\n " + S(80, 'x'), "abc\r\n\r\n " + S(80, 'x')},
        {"blanks past the width before a line end, then an indented long line",
         S(77, 'z') + " \r\n " + S(80, 'y') + " w", S(77, 'z') + "\r\n " + S(80, 'y') + "\r\nw"},
        {"an indented long line breaks after its first word", "    " + S(90, 'x') + " tail",
         "    " + S(90, 'x') + "\r\ntail"},
        {"no space: left long", S(100, 'x'), S(100, 'x')},
        {"long line breaks at its first space", S(100, 'x') + " yy zz", S(100, 'x') + "\r\nyy zz"},
        {"space before an earlier break", S(70, 'a') + " " + S(100, 'b'), S(70, 'a') + "\r\n" + S(100, 'b')},
        {"space on an earlier line", "a b\r\n" + S(100, 'x'), "a b\r\n" + S(100, 'x')},
        {"double-byte text without spaces", Times("\xd6\xd0", 60), Times("\xd6\xd0", 60)},
        {"double-byte text with a space", Times("\xd6\xd0", 35) + " " + Times("\xce\xc4", 5),
         Times("\xd6\xd0", 35) + "\r\n" + Times("\xce\xc4", 5)},
        {"0x20 after a lead byte is no space", S(40, 'a') + " " + S(34, 'b') + "\x81 " + S(10, 'c'),
         S(40, 'a') + "\r\n" + S(34, 'b') + "\x81 " + S(10, 'c')},
    };
    for (const Row& row : rows) EXPECT_EQ(WrapText(row.in, 76), row.out) << row.name;
}

// A paragraph break after a line of any length survives wrapping.
TEST(ComposerWrap, KeepsEveryLineBreak) {
    for (std::size_t length = 1; length <= 160; ++length) {
        for (const std::string& blanks : {std::string(" "), std::string("   "), std::string(" \t ")}) {
            const std::string in = "x " + S(length, 'w') + blanks + "\r\n\r\n" + "next " + S(length, 'v') + blanks + "\r\nend";
            const std::string out = WrapText(in, 76);
            SCOPED_TRACE(length);
            EXPECT_NE(out.find("\r\n\r\nnext"), std::string::npos) << out;
            EXPECT_NE(out.find("\r\nend"), std::string::npos) << out;
            EXPECT_EQ(out.find("\r\n\r\n\r\n"), std::string::npos) << out;
            EXPECT_EQ(out.find("\r\n\r\nend"), std::string::npos) << out;
        }
    }
}

TEST(ComposerWrap, LongTextOnlyTurnsSpacesIntoLineEnds) {
    // 1 MiB of words of 1 to 9 letters: each break replaces one space, and a
    // line holds at most 76 + 10 bytes (counting restarts within the last
    // word). A quadratic rebuild would not finish in time here.
    std::string text;
    unsigned seed = 7;
    while (text.size() < (1u << 20)) {
        seed = seed * 1103515245u + 12345u;
        text += S(1 + (seed >> 16) % 9, 'w');
        text += ' ';
    }
    text.pop_back();
    const std::string wrapped = WrapText(text, 76);
    std::string joined;
    std::size_t lineStart = 0, longest = 0;
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
        if (wrapped.compare(i, 2, "\r\n") == 0) {
            longest = std::max(longest, i - lineStart);
            joined += ' ';
            lineStart = ++i + 1;
        } else {
            joined += wrapped[i];
        }
    }
    EXPECT_EQ(joined, text);
    EXPECT_LE(longest, 86u);
    EXPECT_GT(wrapped.size(), text.size() + 10000);
}

TEST(ComposerDots, LinesBeginningWithADotGetAnother) {
    struct Row { std::string in, out; } rows[] = {
        {"", ""},
        {".", ".."},
        {".x\r\n.\r\n..\r\n", "..x\r\n..\r\n...\r\n"},
        {"a.\r\n\n.b\n", "a.\r\n\n..b\n"},
        {"a\r.b", "a\r.b"},   // CR alone ends no line
        {"\xd6\xd0\n.", "\xd6\xd0\n.."},
    };
    for (const Row& row : rows) EXPECT_EQ(StuffDots(row.in), row.out) << row.in;
}

TEST(ComposerFold, OnlyLinesOver998BytesAreFoldedWhereABreakHelps) {
    std::string to = "To: ";
    for (int i = 0; i < 100; ++i) to += (i ? ",<" : "<") + std::string(16, 'a' + i % 26) + "@x>";
    const std::string subject = "Subject: " + S(600, 'w') + " " + S(600, 'v');
    struct Row { const char* name; std::string line; bool afterCommas; std::string folded; } rows[] = {
        {"short lines stay", "To: <a>,<b>", true, "To: <a>,<b>"},
        {"998 bytes stay", "Subject: " + S(989, 'x'), false, "Subject: " + S(989, 'x')},
        {"no blank but after the name: stays", "Subject: " + S(1200, 'x'), false, "Subject: " + S(1200, 'x')},
        {"at the last blank that fits", subject, false, "Subject: " + S(600, 'w') + "\r\n " + S(600, 'v')},
    };
    for (const Row& row : rows) EXPECT_EQ(FoldHeaderLine(row.line, row.afterCommas), row.folded) << row.name;

    // After the last comma that fits: every line ends with one, and taking
    // the folds out gives the line back.
    std::string folded = FoldHeaderLine(to, true);
    std::size_t lines = 0;
    for (std::size_t begin = 0, end; begin < folded.size(); begin = end + 2, ++lines) {
        end = std::min(folded.find("\r\n", begin), folded.size());
        EXPECT_LE(end - begin, 998u);
        if (end < folded.size()) {
            EXPECT_EQ(folded[end - 1], ',');
        }
    }
    EXPECT_EQ(lines, 3u);
    for (std::size_t at; (at = folded.find("\r\n ")) != std::string::npos;) folded.erase(at, 3);
    EXPECT_EQ(folded, to);
}

TEST(ComposerBaseName, TakesWhatFollowsTheDriveAndTheLastSeparator) {
    struct Row { std::string path, base; } rows[] = {
        {"D:\\up\\report.final.doc", "report.final.doc"},
        {"/tmp/up/report.final.doc", "report.final.doc"},
        {"D:\\up/mixed\\name", "name"},
        {"C:report.doc", "report.doc"},
        {"report.doc", "report.doc"},
        {"D:\\up\\", ""},
        {"D:\\up\\\x95\x5c.txt", "\x95\x5c.txt"},   // 0x5C as a second byte
        {"D:\\" + S(300, 'n') + "." + S(300, 'e'), S(255, 'n') + "." + S(254, 'e')},
        {"D:\\" + S(254, 'n') + "\xd6\xd0.txt", S(254, 'n') + ".txt"},
    };
    for (const Row& row : rows) EXPECT_EQ(AttachmentBaseName(row.path), row.base) << row.path;
}

}  // namespace
}  // namespace tarnwick::sendmail
