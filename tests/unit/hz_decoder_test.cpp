#include "hanzi/HzDecoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace tarnwick::hanzi {
namespace {

enum class Mode { Ascii, Gb };

struct Decoded {
    std::string bytes;   // everything written, 0 bytes included
    long errors = 0;
};

// Decodes from an exactly sized heap copy into an exactly sized output, so
// that a read past the input or a write past n bytes is caught by ASan.
Decoded Decode(const std::string& input) {
    std::unique_ptr<char[]> in(new char[input.size()]);
    std::unique_ptr<char[]> out(new char[input.size()]);
    if (!input.empty()) std::memcpy(in.get(), input.data(), input.size());
    Decoded result;
    std::size_t written = DecodeHz(in.get(), input.size(), out.get(), result.errors);
    EXPECT_LE(written, input.size());
    result.bytes.assign(out.get(), written);
    return result;
}

// The pair "<?" reads back as itself in ASCII mode and as the GB2312 code
// 0xBC 0xBF in GB mode, which tells the mode a unit left behind.
const std::string kProbe = "<?";
std::string ProbeOutput(Mode mode) { return mode == Mode::Gb ? "\xBC\xBF" : kProbe; }

struct UnitRow {
    const char* rule;
    std::string unit;     // fed in the row's starting mode
    std::string output;
    long errors;
    Mode after;
};

void CheckRows(const std::vector<UnitRow>& rows, Mode start) {
    const std::string prefix = start == Mode::Gb ? "~{" : "";
    for (const UnitRow& row : rows) {
        SCOPED_TRACE(row.rule);
        Decoded alone = Decode(prefix + row.unit);
        EXPECT_EQ(alone.bytes, row.output);
        EXPECT_EQ(alone.errors, row.errors);
        Decoded probed = Decode(prefix + row.unit + kProbe);
        EXPECT_EQ(probed.bytes, row.output + ProbeOutput(row.after));
        EXPECT_EQ(probed.errors, row.errors);
    }
}

TEST(HzDecoderTable, AsciiModeUnits) {
    CheckRows({
                  {"plain byte", "A", "A", 0, Mode::Ascii},
                  {"GBK lead byte alone", "\xC1", "\xC1", 0, Mode::Ascii},
                  {"GBK character", "\xD6\xD0", "\xD6\xD0", 0, Mode::Ascii},
                  {"GBK character, 7-bit trail", "\x81\x40", "\x81\x40", 0, Mode::Ascii},
                  {"GBK character, trail tilde", "\x81~", "\x81~", 0, Mode::Ascii},
                  {"GBK character, trail tilde before {", "\x81~{", "\x81~{", 0, Mode::Ascii},
                  {"GBK character, trail tilde before tilde", "\x81~~{", "\x81~", 0, Mode::Gb},
                  {"GBK character, trail tilde before line feed", "\x81~\n", "\x81~\n", 0, Mode::Ascii},
                  {"0x80", "\x80", "\x80", 0, Mode::Ascii},
                  {"0xFF", "\xFF", "\xFF", 0, Mode::Ascii},
                  {"line continuation", "~\n", "", 0, Mode::Ascii},
                  {"into GB mode", "~{", "", 0, Mode::Gb},
                  {"high bits make no escape", "\xFE\xFB", "\xFE\xFB", 0, Mode::Ascii},
                  {"escaped tilde", "~~", "~", 0, Mode::Ascii},
                  {"tilde and other byte", "~x", "~x", 1, Mode::Ascii},
                  {"close outside GB mode", "~}", "~}", 1, Mode::Ascii},
                  {"tilde and CR", "~\r", "~\r", 1, Mode::Ascii},
                  {"tilde and high-bit brace", "~\xFB", "~\xFB", 1, Mode::Ascii},
                  {"tilde and GBK character", "~\xD6\xD0", "~\xD6\xD0", 1, Mode::Ascii},
                  {"tilde and GBK character, trail tilde", "~\x81~{", "~\x81~{", 1, Mode::Ascii},
                  {"tilde and 0x80", "~\x80", "~\x80", 1, Mode::Ascii},
              },
              Mode::Ascii);
}

TEST(HzDecoderTable, GbModeUnits) {
    CheckRows({
                  {"1: line feed", "\n", "\n", 1, Mode::Ascii},
                  {"1: first control byte", std::string(1, '\0'), std::string(1, '\0'), 1, Mode::Ascii},
                  {"1: last control byte", "\x1F", "\x1F", 1, Mode::Ascii},
                  {"1: DEL", "\x7F", "\x7F", 1, Mode::Ascii},
                  {"1: 0x80 stays 0x80", "\x80", "\x80", 1, Mode::Ascii},
                  {"1: high-bit line feed", "\x8A", "\n", 1, Mode::Ascii},
                  {"a: pair", "<?", "\xBC\xBF", 0, Mode::Gb},
                  {"a: lowest pair", "\x21\x21", "\xA1\xA1", 0, Mode::Gb},
                  {"a: highest pair", "\x77\x7E", "\xF7\xFE", 0, Mode::Gb},
                  {"a: GB2312 bytes convert to themselves", "\xBC\xBF", "\xBC\xBF", 0, Mode::Gb},
                  {"b: close", "~}", "", 0, Mode::Ascii},
                  {"b: close, high bits", "\xFE\xFD", "", 0, Mode::Ascii},
                  {"c: tilde and other byte", "~x", "~x", 1, Mode::Ascii},
                  {"c: tilde tilde", "~~", "~~", 1, Mode::Ascii},
                  {"c: tilde line feed", "~\n", "~\n", 1, Mode::Ascii},
                  {"c: tilde 0x80", "~\x80", "~\x80", 1, Mode::Ascii},
                  {"d: lead beyond the rows", "\x78\x21", "\xA1\xF5", 1, Mode::Gb},
                  {"d: last lead beyond the rows", "\x7D\x7E", "\xA1\xF5", 1, Mode::Gb},
                  {"e: space lead", " A", "A", 1, Mode::Gb},
                  {"e: space lead before space", "  ", " ", 1, Mode::Gb},
                  {"e: space lead before control", " \n", "\n", 1, Mode::Gb},
                  {"e: space lead before 0x80", " \x80", "\x80", 1, Mode::Gb},
                  {"f: space trail", "A ", "\xA1\xA1", 1, Mode::Gb},
                  {"f: space trail after lead beyond the rows", "\x78 ", "\xA1\xA1", 1, Mode::Gb},
                  {"g: valid lead, control trail", "A\n", "A\n", 1, Mode::Ascii},
                  {"g: valid lead, DEL trail", "\x21\x7F", "\x21\x7F", 1, Mode::Ascii},
                  {"g: lead beyond the rows, control trail", "\x7D\x01", "\x7D\x01", 1, Mode::Ascii},
                  {"g: valid lead, 0x80 trail", "A\x80", "A\x80", 1, Mode::Ascii},
              },
              Mode::Gb);
}

struct EdgeRow {
    const char* name;
    std::string input;
    std::string output;   // as HzToGb hands it out
    long errors;
};

TEST(HzDecoderEdges, Table) {
    const std::vector<EdgeRow> rows = {
        {"empty input", "", "", 0},
        {"plain ASCII unchanged", "Hello, world.\r\nLine two {} }{ \t!", "Hello, world.\r\nLine two {} }{ \t!", 0},
        {"one character", "~{<?~}", "\xBC\xBF", 0},
        {"GB mode left open keeps last pair", "a~{<?<?", "a\xBC\xBF\xBC\xBF", 0},
        {"close as last two bytes", "~{<?~}", "\xBC\xBF", 0},
        {"lone tilde at the end", "ab~", "ab~", 1},
        {"lone tilde at the end of GB mode", "~{<?~", "\xBC\xBF~", 1},
        {"lone lead byte at the end of GB mode", "~{<?<", "\xBC\xBF<", 1},
        {"lone space at the end of GB mode", "~{<? ", "\xBC\xBF", 1},
        {"line feed inside GB mode ends it", "~{<?\n<?", "\xBC\xBF\n<?", 1},
        {"continuation dropped", "ab~\ncd", "abcd", 0},
        {"GB2312 text in ASCII mode stays", "\xBC\xBF", "\xBC\xBF", 0},
        {"GB2312 text in GB mode stays", "~{\xBC\xBF~}", "\xBC\xBF", 0},
        {"0x80 stays in the text", "ab\x80" "cd", "ab\x80" "cd", 0},
        {"0x80 in GB mode is a control byte", "~{<?\x80<?", "\xBC\xBF\x80<?", 1},
        {"a 0 byte ends the text", std::string("ab\0cd", 5), "ab", 0},
        {"errors add up", "~x~{ A~}~y", "~xA~y", 3},
    };
    for (const EdgeRow& row : rows) {
        SCOPED_TRACE(row.name);
        long errors = 0;
        EXPECT_EQ(HzToGb(row.input, errors), row.output);
        EXPECT_EQ(errors, row.errors);
        Decoded raw = Decode(row.input);   // exact buffers under ASan
        EXPECT_EQ(raw.errors, row.errors);
    }
}

// Text in the system code page (GBK) around HZ runs keeps its bytes.
TEST(HzDecoderGbk, TextAroundHzRunsKeepsItsBytes) {
    std::string zhong;   // 中 twenty times: the eight-byte path sees code-page bytes
    for (int k = 0; k < 20; ++k) zhong += "\xD6\xD0";
    const std::vector<EdgeRow> rows = {
        {"GBK before an HZ run", "\xD6\xD0~{<?~}", "\xD6\xD0\xBC\xBF", 0},
        {"GBK after an HZ run", "~{<?~}\xD6\xD0", "\xBC\xBF\xD6\xD0", 0},
        {"0x80 before an HZ run", "5\x80 ~{<?~}", "5\x80 \xBC\xBF", 0},
        {"long GBK text", zhong + "~{<?~}" + zhong, zhong + "\xBC\xBF" + zhong, 0},
        {"GBK text, then ASCII across eight bytes", "\xD6\xD0" "abcdefgh~{<?~}", "\xD6\xD0" "abcdefgh\xBC\xBF", 0},
        {"trail tilde is no escape", "\x81~{<?", "\x81~{<?", 0},
        {"trail tilde, then an HZ run", "\x81~~{<?~}", "\x81~\xBC\xBF", 0},
        {"trail tilde, then a line end", "\x81~\nab", "\x81~\nab", 0},
        {"trail tilde inside eight bytes", "abcdef\x81~{<?~}xyz", "abcdef\x81~{<?~}xyz", 1},
        {"lead byte at the end", "ab\xD6", "ab\xD6", 0},
        {"lead byte before a 0", std::string("\xD6\0~{<?", 6), "\xD6", 0},
    };
    for (const EdgeRow& row : rows) {
        SCOPED_TRACE(row.name);
        long errors = 0;
        EXPECT_EQ(HzToGb(row.input, errors), row.output);
        EXPECT_EQ(errors, row.errors);
        Decoded raw = Decode(row.input);
        EXPECT_EQ(raw.errors, row.errors);
    }
}

TEST(HzDecoderEdges, ModeStartsInAsciiOnEveryCall) {
    long errors = 0;
    EXPECT_EQ(HzToGb("~{<?", errors), "\xBC\xBF");
    EXPECT_EQ(HzToGb("<?", errors), "<?");
    EXPECT_EQ(errors, 0);
}

TEST(HzDecoderEdges, CountRunsOnAcrossCalls) {
    long errors = 0;
    HzToGb("~x", errors);
    EXPECT_EQ(SyntaxErrorLine(errors), "\nNumber of syntax errors caught and recovered = 1\n");
    HzToGb("clean", errors);
    EXPECT_EQ(SyntaxErrorLine(errors), "\nNumber of syntax errors caught and recovered = 1\n");
    HzToGb("~{\n~{\n", errors);
    EXPECT_EQ(SyntaxErrorLine(errors), "\nNumber of syntax errors caught and recovered = 3\n");
}

TEST(HzDecoderEdges, ErrorLineFormatsLargeCounts) {
    EXPECT_EQ(SyntaxErrorLine(2147483647L), "\nNumber of syntax errors caught and recovered = 2147483647\n");
    EXPECT_STREQ(kSyntaxErrorLineFormat, "\nNumber of syntax errors caught and recovered = %d\n");
}

// A byte-at-a-time model of the two tables, kept deliberately plain, to check
// the decoder's mode loops against on random input. Outside GB mode bytes of
// 0x80 and above are text, a GBK lead byte taking the next byte along; in GB
// mode bytes are read by their low 7 bits, and a copied 0x80 stays 0x80.
Decoded ReferenceDecode(const std::string& input) {
    Decoded result;
    const std::size_t n = input.size();
    auto rawAt = [&](std::size_t i) -> unsigned { return i < n ? static_cast<unsigned char>(input[i]) : 0; };
    auto byteAt = [&](std::size_t i) -> unsigned { return rawAt(i) & 0x7F; };
    auto emit = [&](unsigned c) { result.bytes.push_back(static_cast<char>(c)); };
    auto copy = [&](std::size_t i) { emit(rawAt(i) == 0x80 ? 0x80 : byteAt(i)); };
    bool gb = false;
    std::size_t i = 0;
    while (i < n) {
        if (!gb) {
            const unsigned b = rawAt(i);
            if (b != '~') {
                emit(b);
                i += 1;
                if (b >= 0x81 && b <= 0xFE && i < n) emit(rawAt(i++));
                continue;
            }
            if (i + 1 < n && rawAt(i + 1) >= 0x80) {
                emit('~');
                ++result.errors;
                i += 1;
                continue;
            }
            unsigned c2 = byteAt(i + 1);
            bool real = i + 1 < n;
            i += 2;
            if (c2 == '\n') continue;
            if (c2 == '{') { gb = true; continue; }
            if (c2 == '~') { emit('~'); continue; }
            emit('~');
            if (real) emit(c2);
            ++result.errors;
            continue;
        }
        const unsigned c1 = byteAt(i);
        if (c1 < 0x20 || c1 == 0x7F) {
            copy(i);
            ++result.errors;
            gb = false;
            i += 1;
            continue;
        }
        unsigned c2 = byteAt(i + 1);
        bool real = i + 1 < n;
        i += 2;
        bool trailOk = c2 >= 0x21 && c2 <= 0x7E;
        if (c1 >= 0x21 && c1 <= 0x77 && trailOk) {
            emit(c1 + 0x80);
            emit(c2 + 0x80);
        } else if (c1 == '~' && c2 == '}') {
            gb = false;
        } else if (c1 == '~') {
            emit('~');
            if (real) copy(i - 1);
            ++result.errors;
            gb = false;
        } else if (c1 >= 0x78 && c1 <= 0x7D && trailOk) {
            emit(0xA1);
            emit(0xF5);
            ++result.errors;
        } else if (c1 == 0x20) {
            if (real) copy(i - 1);
            ++result.errors;
        } else if (c2 == 0x20) {
            emit(0xA1);
            emit(0xA1);
            ++result.errors;
        } else {
            emit(c1);
            if (real) copy(i - 1);
            ++result.errors;
            gb = false;
        }
    }
    return result;
}

TEST(HzDecoderRandom, MatchesTheTablesByteForByte) {
    // Long ASCII and GB runs, where the decoder works eight bytes at a time,
    // and short runs of the bytes that matter to the tables: escapes, and
    // values at and just past every range bound.
    const std::string bounds = std::string("\x20\x21\x77\x78\x7D\x7E\x7F\x00\x1F\xA1\xF7\xF8\xFE\xFF\x80\xA0", 16) + "~{}\n";
    std::mt19937 random(2388);
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        const int chunks = 1 + random() % 8;
        for (int c = 0; c < chunks; ++c) {
            const std::size_t run = random() % 40;
            switch (random() % 5) {
            case 0:   // ASCII text
                for (std::size_t k = 0; k < run; ++k) input += static_cast<char>(0x20 + random() % 0x5F);
                break;
            case 4:   // GBK text, its trail bytes "~" now and then
                for (std::size_t k = 0; k < run; ++k)
                    input += k % 2 == 0 ? static_cast<char>(0x81 + random() % 0x7E)
                                        : random() % 8 == 0 ? '~' : static_cast<char>(0x40 + random() % 0xBF);
                break;
            case 1:   // a GB run, mostly valid pairs
                input += "~{";
                for (std::size_t k = 0; k < run; ++k)
                    input += random() % 16 == 0 ? bounds[random() % bounds.size()]
                                                : static_cast<char>((k % 2 ? 0x21 + random() % 0x5E : 0x21 + random() % 0x57) |
                                                                    (random() % 2 ? 0x80 : 0));
                if (random() % 2) input += "~}";
                break;
            case 2:   // escapes and bound bytes
                for (std::size_t k = 0; k < run % 8; ++k) input += bounds[random() % bounds.size()];
                break;
            default:
                input += random() % 2 ? "~~" : "~\n";
            }
        }
        Decoded got = Decode(input);
        Decoded want = ReferenceDecode(input);
        ASSERT_EQ(got.bytes, want.bytes) << "input bytes: " << ::testing::PrintToString(input);
        ASSERT_EQ(got.errors, want.errors) << "input bytes: " << ::testing::PrintToString(input);
    }
}

// The expected GB2312 files are the corpus's UTF-8 twins converted by
// iconv (data/hz/make_expected.sh).
std::string DataDir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/') + 1) + "data/hz/";
}

struct SampleRow {
    const char* hzFile;   // under the corpus's hz/ folder
    const char* gbFile;   // under data/hz/
};

TEST(HzDecoderSamples, PublicHzTextDecodesToItsGb2312Twin) {
    const std::vector<SampleRow> rows = {
        {"cpython-cjkencodings/hz.txt", "cpython-hz.gb2312"},
        {"go-text/sunzi-bingfa-gb-levels-1-and-2-hz-gb2312.txt", "sunzi-bingfa-hz.gb2312"},
    };
    for (const SampleRow& row : rows) {
        SCOPED_TRACE(row.hzFile);
        std::string hz = test::ReadFile(std::string(TARNWICK_CORPUS_DIR) + "/hz/" + row.hzFile);
        std::string gb = test::ReadFile(DataDir() + row.gbFile);
        ASSERT_FALSE(hz.empty());
        ASSERT_FALSE(gb.empty());
        long errors = 0;
        EXPECT_EQ(HzToGb(hz, errors), gb);
        EXPECT_EQ(errors, 0);
    }
}

}  // namespace
}  // namespace tarnwick::hanzi
