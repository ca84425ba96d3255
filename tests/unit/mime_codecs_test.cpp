// Transfer codecs: base64 encoders and decoders,
// quoted-printable decoder. Inputs are byte-exact; range inputs are copied into
// exactly-sized heap buffers so that AddressSanitizer catches any read past
// the end of a range. The fast range codecs are compared, byte for byte, with
// their one-character-at-a-time forms (tests/unit/ReferenceCodecs.h).
#include "mime/Codecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/ReferenceCodecs.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::mime {
namespace {

using namespace std::string_literals;

using test::ExactBytes;

std::string EncodeString(const std::string& in) {
    std::vector<char> out(Base64EncodedSize(in.size()) + 16, '\x7f');
    const std::size_t n = Base64EncodeString(in.c_str(), out.data());
    EXPECT_EQ(out[n], '\x7f') << "wrote past its count";
    return std::string(out.data(), n);
}

std::string EncodeRange(const std::string& in) {
    ExactBytes bytes(in);
    std::string out = "prefix";
    Base64EncodeRange(bytes.begin(), bytes.end(), out);
    EXPECT_EQ(out.compare(0, 6, "prefix"), 0);
    return out.substr(6);
}

std::string EncodeStream(const std::string& in) {
    ExactBytes bytes(in);
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return {};
    EXPECT_EQ(Base64EncodeToStream(bytes.begin(), bytes.end(), f), 1);
    std::string out;
    std::rewind(f);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

struct StringDecode {
    std::string bytes;   // the first count bytes of out
    std::size_t count;
};

StringDecode DecodeString(const std::string& in) {
    std::vector<char> out(in.size() + 8, '\x7f');
    const std::size_t n = Base64DecodeString(in.c_str(), out.data());
    return {std::string(out.data(), n), n};
}

StringDecode DecodeRange(const std::string& in, std::string* written = nullptr) {
    ExactBytes bytes(in);
    std::vector<char> out(in.size() + 8, '\x7f');
    const std::size_t n = Base64DecodeRange(bytes.begin(), bytes.end(), out.data());
    if (written != nullptr) *written = std::string(out.data(), 3 * (in.size() / 4));
    return {std::string(out.data(), n), n};
}

using RangeDecoder = std::size_t (*)(const char*, const char*, char*);

std::string DecodeQp(const std::string& in, RangeDecoder decode = QuotedPrintableDecodeRange) {
    ExactBytes bytes(in);
    // Exactly end - begin bytes of output, as the contract says.
    std::unique_ptr<char[]> out(new char[in.size() + 1]);
    const std::size_t n = decode(bytes.begin(), bytes.end(), out.get());
    EXPECT_LE(n, in.size());
    return std::string(out.get(), n);
}

std::string RandomBytes(std::size_t n, unsigned seed, bool allowZero = true) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(rng() & 0xFF);
        if (!allowZero && c == 0) c = 1;
    }
    return s;
}

// The base64 line layout, checked independently of the encoder: lines of
// 72 characters ended by CR LF, the last line shorter and without CR LF unless
// the input ended exactly after an 18th group.
void ExpectLayout(const std::string& encoded, std::size_t inputBytes) {
    const std::size_t groups = (inputBytes + 2) / 3;
    const std::size_t fullLines = (inputBytes / 3) / 18;
    ASSERT_EQ(encoded.size(), 4 * groups + 2 * fullLines);
    for (std::size_t line = 0; line < fullLines; ++line) {
        const std::size_t at = line * 74;
        EXPECT_EQ(encoded.substr(at + 72, 2), "\r\n") << "line " << line;
        EXPECT_EQ(encoded.substr(at, 72).find_first_of("\r\n="), std::string::npos) << "line " << line;
    }
    EXPECT_EQ(encoded.substr(fullLines * 74).find_first_of("\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Base64SymbolValue

TEST(MimeCodecSymbols, ClassifyEveryByteAsTheTableSays) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        int expected = kBase64Skip;
        if (c == '+') expected = 62;
        else if (c == '/') expected = 63;
        else if (c >= 'A' && c <= 'Z') expected = c - 'A';
        else if (c >= 'a' && c <= 'z') expected = c - 'a' + 26;
        else if (c >= '0' && c <= '9') expected = c - '0' + 52;
        else if (c == '=') expected = kBase64Pad;
        EXPECT_EQ(Base64SymbolValue(c), expected) << "byte " << b;
    }
    EXPECT_EQ(Base64SymbolValue('?'), kBase64Skip);
    EXPECT_EQ(Base64SymbolValue('-'), kBase64Skip);
    EXPECT_EQ(Base64SymbolValue('\x80'), kBase64Skip);
    EXPECT_EQ(Base64SymbolValue('\xff'), kBase64Skip);
    EXPECT_EQ(Base64SymbolValue('\0'), kBase64Skip);
}

// ---------------------------------------------------------------------------
// Encoding

struct EncodeCase {
    std::string in;
    std::string out;
};

TEST(MimeCodecEncode, KnownVectorsAreIdenticalInAllThreeEncoders) {
    const std::vector<EncodeCase> cases = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff", "+/8="},
        {"\xff\xff\xff", "////"},
        {"\xd6\xd0\xce\xc4", "1tDOxA=="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeString(c.in), c.out) << c.in;
        EXPECT_EQ(EncodeRange(c.in), c.out) << c.in;
        EXPECT_EQ(EncodeStream(c.in), c.out) << c.in;
    }
}

TEST(MimeCodecEncode, FiftyFourBytesMakeOneFullLineEndingWithCrLf) {
    const std::string in(54, 'a');
    std::string line;
    for (int i = 0; i < 18; ++i) line += "YWFh";
    ASSERT_EQ(line.size(), 72u);
    EXPECT_EQ(EncodeString(in), line + "\r\n");
    EXPECT_EQ(EncodeRange(in), line + "\r\n");
    EXPECT_EQ(EncodeStream(in), line + "\r\n");
}

TEST(MimeCodecEncode, FiftyFiveBytesAddAPaddedGroupWithoutLineBreak) {
    const std::string in(55, 'a');
    std::string line;
    for (int i = 0; i < 18; ++i) line += "YWFh";
    EXPECT_EQ(EncodeString(in), line + "\r\nYQ==");
    EXPECT_EQ(EncodeRange(in), line + "\r\nYQ==");
    EXPECT_EQ(EncodeStream(in), line + "\r\nYQ==");
    EXPECT_EQ(EncodeRange(std::string(56, 'a')), line + "\r\nYWE=");
    EXPECT_EQ(EncodeRange(std::string(57, 'a')), line + "\r\nYWFh");
    EXPECT_EQ(EncodeRange(std::string(108, 'a')), line + "\r\n" + line + "\r\n");
}

TEST(MimeCodecEncode, StringEncoderStopsAtTheFirstZeroByte) {
    // A zero byte at position 4: one complete group, then a final group of one byte.
    EXPECT_EQ(EncodeString("abcd\0efgh"s), "YWJjZA==");
    EXPECT_EQ(EncodeString("abcde\0fgh"s), "YWJjZGU=");
    EXPECT_EQ(EncodeString("abc\0defg"s), "YWJj");
    EXPECT_EQ(EncodeString("\0abc"s), "");
}

TEST(MimeCodecEncode, RangeEncodersTreatZeroBytesAsData) {
    EXPECT_EQ(EncodeRange("\0\0\0"s), "AAAA");
    EXPECT_EQ(EncodeStream("\0\0\0"s), "AAAA");
    EXPECT_EQ(EncodeRange("abcd\0efgh"s), "YWJjZABlZmdo");
    EXPECT_EQ(EncodeStream("abcd\0efgh"s), "YWJjZABlZmdo");
    EXPECT_EQ(EncodeRange("\0"s), "AA==");
}

TEST(MimeCodecEncode, SizeFormulaAndLayoutHoldForEveryLengthUpTo400) {
    for (std::size_t n = 0; n <= 400; ++n) {
        const std::string in = RandomBytes(n, static_cast<unsigned>(n), /*allowZero=*/false);
        const std::string encoded = EncodeRange(in);
        EXPECT_EQ(encoded.size(), Base64EncodedSize(n)) << n;
        ExpectLayout(encoded, n);
        EXPECT_EQ(EncodeString(in), encoded) << n;
    }
}

TEST(MimeCodecEncode, StreamEncoderMatchesAcrossItsBlockBoundaries) {
    // Block sizes are internal; cover lengths around many multiples of a line
    // and several sizes well beyond any plausible block.
    std::vector<std::size_t> sizes = {1, 2, 3, 53, 54, 55, 1000};
    for (std::size_t lines : {442u, 443u, 884u, 1214u, 1215u, 2000u}) {
        for (int delta = -2; delta <= 2; ++delta) sizes.push_back(lines * 54 + delta);
    }
    sizes.push_back(300000);
    for (std::size_t n : sizes) {
        const std::string in = RandomBytes(n, static_cast<unsigned>(n + 7));
        const std::string stream = EncodeStream(in);
        EXPECT_EQ(stream, EncodeRange(in)) << n;
        ExpectLayout(stream, n);
    }
}

TEST(MimeCodecEncode, RangeEncoderAppendsAndIgnoresEmptyOrReversedRanges) {
    std::string out = "x";
    const char* text = "abc";
    Base64EncodeRange(text, text, out);
    Base64EncodeRange(text + 2, text, out);
    EXPECT_EQ(out, "x");
    Base64EncodeRange(text, text + 3, out);
    Base64EncodeRange(text, text + 1, out);
    EXPECT_EQ(out, "xYWJjYQ==");
}

// ---------------------------------------------------------------------------
// Decoding

struct DecodeCase {
    const char* name;
    std::string in;
    std::string stringBytes;   // Base64DecodeString result bytes
    std::string rangeBytes;    // Base64DecodeRange result bytes
};

TEST(MimeCodecDecode, EndingTableOfBothDecoders) {
    const std::vector<DecodeCase> cases = {
        {"empty", "", "", ""},
        {"only skip characters", " \r\n\t?-", "", ""},
        {"complete quadruples", "Zm9vYmFy", "foobar", "foobar"},
        {"used up before symbol 1", "Zm9v\r\n", "foo", "foo"},
        {"'=' as symbol 1", "Zm9v=", "foo", "foo"},
        {"'=' as symbol 1 after a line break", "Zm9v\r\n==", "foo", "foo"},
        {"'=' as symbol 2", "Zm9vZ=", "foo", "foo"},
        {"used up after symbol 1", "Zm9vY", "foo", "foo"},
        {"used up after symbol 2 (no padding)", "Zm9vYm", "foo", "foob"},
        {"used up after symbol 3 (no padding)", "Zm9vYmF", "foo", "fooba"},
        {"unpadded text", "SGVsbG8gV29ybGQ", "Hello Wor", "Hello World"},
        {"unpadded, line break at the end", "SGVsbG8gV29ybGQ\r\n", "Hello Wor", "Hello World"},
        {"'=' as symbol 3", "Zm9vYg==", "foob", "foob"},
        {"'=' as symbol 3, no second pad", "Zm9vYg=", "foob", "foob"},
        {"'=' as symbol 4", "Zm9vYmE=", "fooba", "fooba"},
        {"two padded texts: the first only", "Zg==Zm8=", "f", "f"},
        {"pad then more text", "Zm8=Zm9vYmFy", "fo", "fo"},
        {"bytes above 127 are skipped", "Zm\x80\xff" "9v", "foo", "foo"},
        {"spaces between groups", "Zm9v YmFy", "foobar", "foobar"},
        {"'?' and '-' are skipped", "Zm?9-v", "foo", "foo"},
    };
    for (const auto& c : cases) {
        const StringDecode s = DecodeString(c.in);
        EXPECT_EQ(s.bytes, c.stringBytes) << c.name;
        const StringDecode r = DecodeRange(c.in);
        EXPECT_EQ(r.bytes, c.rangeBytes) << c.name;
    }
}

TEST(MimeCodecDecode, LineBreaksAndSpacesChangeNothing) {
    const std::string data = RandomBytes(500, 3);
    const std::string encoded = EncodeRange(data);   // with CR LF after every line
    std::string bare, spaced;
    for (char c : encoded) {
        if (c == '\r' || c == '\n') continue;
        bare += c;
        spaced += c;
        spaced += ' ';
    }
    EXPECT_EQ(DecodeRange(encoded).bytes, data);
    EXPECT_EQ(DecodeRange(bare).bytes, data);
    EXPECT_EQ(DecodeRange(spaced).bytes, data);
    // Data with zero bytes cannot go through the string decoder's output
    // comparison as text, but the count and bytes still match.
    EXPECT_EQ(DecodeString(encoded).bytes, data);
    EXPECT_EQ(DecodeString(spaced).bytes, data);
}

TEST(MimeCodecDecode, RangeDecoderSkipsZeroBytesStringDecoderStopsAtThem) {
    const std::string in = "Zm\0" "9v"s;
    EXPECT_EQ(DecodeRange(in).bytes, "foo");
    EXPECT_EQ(DecodeString(in).count, 0u);   // "Zm", then the terminator
}

TEST(MimeCodecDecode, RangeDecoderReadsNothingAtOrAfterEnd) {
    const std::string text = "Zm9vYmFy";
    char out[8] = {};
    EXPECT_EQ(Base64DecodeRange(text.data(), text.data() + 4, out), 3u);
    EXPECT_EQ(std::string(out, 3), "foo");
    EXPECT_EQ(Base64DecodeRange(text.data(), text.data(), out), 0u);
    EXPECT_EQ(Base64DecodeRange(text.data() + 4, text.data(), out), 0u);   // reversed
}

TEST(MimeCodecDecode, BoundedStringDecoderStopsAtEndOrZero) {
    const std::string text = "Zm9vYg==";
    char out[8] = {};
    EXPECT_EQ(Base64DecodeStringRange(text.data(), text.data() + 6, out), 3u);   // "Zm9vYg": partial -> count
    EXPECT_EQ(Base64DecodeStringRange(text.data(), text.data() + 8, out), 4u);
    const std::string zero = "Zm9v\0Zm9v"s;
    EXPECT_EQ(Base64DecodeStringRange(zero.data(), zero.data() + zero.size(), out), 3u);
}

TEST(MimeCodecDecode, RoundTripsRandomDataOfEveryLength) {
    for (std::size_t n = 0; n <= 300; ++n) {
        const std::string data = RandomBytes(n, static_cast<unsigned>(1000 + n));
        const std::string encoded = EncodeRange(data);
        EXPECT_EQ(DecodeRange(encoded).bytes, data) << n;
        EXPECT_EQ(DecodeString(encoded).bytes, data) << n;
    }
}

// Decoding a piece at a time gives Base64DecodeRange's bytes whatever falls
// on a piece's edge: groups split over odd line lengths, junk and zero bytes,
// a pad that ends decoding early, a group cut off at the end.
TEST(MimeCodecDecode, PiecesGiveTheBytesOfTheWholeRange) {
    const std::string data = RandomBytes(3 * kBase64PieceBytes + 5, 77);
    std::string encoded = EncodeRange(data);
    std::string oddLines;   // lines of 75 symbols: no group ends a line
    for (char c : encoded)
        if (c != '\r' && c != '\n') oddLines += c;
    for (std::size_t at = 75; at < oddLines.size(); at += 77) oddLines.insert(at, "\r\n");
    std::string junk = encoded;   // junk right where the first piece would end
    junk.insert(kBase64PieceBytes / 3 * 4 + 20, std::string("\0*\x80 ", 4));
    std::string earlyPad = oddLines;
    earlyPad.insert(kBase64PieceBytes / 3 * 4 + 5000, "=");   // in the second piece
    const std::string cutOff = oddLines.substr(0, oddLines.size() - 3);
    const struct {
        const char* name;
        std::string input;
        std::size_t minPieces;
    } cases[] = {{"lines of 76", encoded, 3}, {"lines of 75", oddLines, 3},     {"junk at the edge", junk, 3},
                 {"early pad", earlyPad, 2},  {"cut off", cutOff, 3},         {"short", "QUJD=RUZH", 1}};
    for (const auto& c : cases) {
        const std::string& input = c.input;
        const ExactBytes in(input);
        std::string whole(input.size(), '\0');
        whole.resize(Base64DecodeRange(in.begin(), in.end(), whole.data()));
        std::string pieced;
        std::size_t pieces = 0;
        EXPECT_TRUE(Base64DecodeInPieces(in.begin(), in.end(), [&](const char* bytes, std::size_t size) {
            EXPECT_LE(size, kBase64PieceBytes);
            pieced.append(bytes, size);
            return ++pieces != 0;
        }));
        EXPECT_EQ(pieced, whole) << c.name;
        EXPECT_GE(pieces, c.minPieces) << c.name;
    }
}

// ---------------------------------------------------------------------------
// Quoted-printable

struct QpCase {
    const char* name;
    std::string in;
    std::string out;
};

TEST(MimeCodecQuotedPrintable, Rules) {
    const std::vector<QpCase> cases = {
        {"empty", "", ""},
        {"plain text", "Hello, world", "Hello, world"},
        {"=41", "=41", "A"},
        {"lower-case digits", "=e9", "\xe9"},
        {"upper-case digits", "=E9", "\xe9"},
        {"soft line break", "ab=\r\ncd", "abcd"},
        {"soft line break at the end", "ab=\r\n", "ab"},
        {"=00 gives LF and keeps the zeros", "=00", "\n00"},
        {"=0A is nonzero", "x=0Ay", "x\ny"},
        {"'=' then a non-hex byte", "=G1", "\nG1"},
        {"one hex digit then a non-hex byte", "=1Gz", "\x01z"},
        {"hard line breaks are kept", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"trailing blanks are kept", "a  \r\nb", "a  \r\nb"},
        {"'=' before a bare LF reads across it", "=\n41", "A1"},
        {"white space before the digits", "=  41", "A41"},
        {"'=' CR without LF", "=\rx", "\n\rx"},
        {"two escapes in a row", "=C4=E3", "\xc4\xe3"},
        {"'=' '=' '4' '1'", "==41", "\nA"},
        // An '=' among the last two bytes of the range reads nothing beyond it.
        {"'=' as the last byte", "ab=", "ab\n"},
        {"'=' and one hex digit at the end", "ab=7", "ab\x07"},
        {"'=' and one non-hex byte at the end", "ab=x", "ab\nx"},
        {"'=' CR at the end", "ab=\r", "ab\n\r"},
        {"'=' and white space only at the end", "ab= ", "ab\n "},
        {"'=' alone", "=", "\n"},
        {"'=' and two digits exactly at the end", "=4a", "J"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeQp(c.in), c.out) << c.name;
}

TEST(MimeCodecQuotedPrintable, AttachmentsReadEqualsZeroZeroAsTheByte) {
    // The text rule's table above, but for "=00": an attachment's bytes.
    const std::vector<QpCase> cases = {
        {"=00 between letters", "a=00b", "a\0b"s},
        {"=00 alone", "=00", "\0"s},
        {"=00 twice", "=00=00", "\0\0"s},
        {"=00 before a soft break", "=00=\r\nx", "\0x"s},
        {"=0 before a line end still gives LF", "=0\r\n", "\n0\r\n"},
        {"blanks before 00 still give LF", "= 00", "\n 00"},
        {"=0 at the very end", "ab=0", "ab\n0"},
        {"'=' then a non-hex byte", "=G1", "\nG1"},
        {"nonzero escapes as before", "=41=e9", "A\xe9"},
        {"soft line break as before", "ab=\r\ncd", "abcd"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeQp(c.in, QuotedPrintableDecodeAttachment), c.out) << c.name;
        EXPECT_EQ(DecodeQp(c.in, reference::QuotedPrintableDecodeAttachment), c.out) << c.name;
    }
}

TEST(MimeCodecQuotedPrintable, Rfc2045Rules) {
    const std::vector<QpCase> cases = {
        {"an '=' without two hex digits stays", "id=5&lang=en", "id=5&lang=en"},
        {"'=' and one hex digit at the end", "x=4", "x=4"},
        {"'=' and a non-hex pair", "=G1", "=G1"},
        {"'=' before an escape", "==41", "=A"},
        {"no white space is skipped before the digits", "= 41", "= 41"},
        {"escapes of either case", "=41=e9=E9", "A\xe9\xe9"},
        {"=00 is the byte 00", "a=00b", "a\0b"s},
        {"soft break", "soft=\r\nline", "softline"},
        {"soft break with blanks after the '='", "soft= \t \r\nline", "softline"},
        {"soft break at a bare LF", "soft=\nline", "softline"},
        {"soft break with a blank before a bare LF", "soft= \nline", "softline"},
        {"soft break at the end of the range", "end=", "end"},
        {"blanks and the end of the range", "end=  ", "end"},
        {"'=' CR without LF stays", "a=\rb", "a=\rb"},
        {"'=' blank text stays", "a= b", "a= b"},
        {"hard line breaks are copied", "a\r\nb\nc", "a\r\nb\nc"},
        {"blanks at a line end are kept", "a  \r\nb", "a  \r\nb"},
        {"raw 8-bit bytes are copied", "\xd6\xd0=D6=D0", "\xd6\xd0\xd6\xd0"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeQp(c.in, QuotedPrintableDecodeRfc2045), c.out) << c.name;
}

TEST(MimeCodecQuotedPrintable, Rfc2045DecoderStaysInsideItsBytes) {
    for (unsigned seed = 0; seed < 300; ++seed) {
        std::string in = RandomBytes(seed % 70, seed);
        for (std::size_t i = seed % 3; i < in.size(); i += 3) in[i] = "=\n \r0"[i % 5];
        DecodeQp(in, QuotedPrintableDecodeRfc2045);   // bounds are checked inside, reads by ASan
    }
}

TEST(MimeCodecTransferEncoding, TheValueIsOneTokenWithCommentsAndBlanksAround) {
    const struct {
        const char* value;
        TransferEncoding encoding;
    } rows[] = {
        {"base64", TransferEncoding::Base64},
        {"BASE64", TransferEncoding::Base64},
        {" Base64", TransferEncoding::Base64},
        {"base64 ", TransferEncoding::Base64},
        {"\tbase64\r", TransferEncoding::Base64},
        {"base64 (ok)", TransferEncoding::Base64},
        {"(sent by x) base64", TransferEncoding::Base64},
        {"base64(a (nested) b)", TransferEncoding::Base64},
        {"base64 (a \\) quoted paren)", TransferEncoding::Base64},
        {"quoted-printable", TransferEncoding::QuotedPrintable},
        {" Quoted-Printable (qp) ", TransferEncoding::QuotedPrintable},
        {"", TransferEncoding::Identity},
        {"7bit", TransferEncoding::Identity},
        {"8bit (base64)", TransferEncoding::Identity},
        {"base 64", TransferEncoding::Identity},
        {"x-base64", TransferEncoding::Identity},
        {"base64 x", TransferEncoding::Identity},
        {"\"base64\"", TransferEncoding::Identity},
        {"(base64", TransferEncoding::Identity},
    };
    for (const auto& row : rows) EXPECT_EQ(TransferEncodingOf(row.value), row.encoding) << "[" << row.value << "]";
}

TEST(MimeCodecQuotedPrintable, EncoderRules) {
    struct Row { const char* name; std::string in, out; } rows[] = {
        {"plain text stays", "Hello, world!", "Hello, world!"},
        {"line ends stay, blanks before them are escaped", "a \r\nb\t\r\nc ", "a=20\r\nb=09\r\nc=20"},
        {"8-bit bytes and '=' are escaped", "\xd6\xd0=1", "=D6=D0=3D1"},
        {"lone CR and LF are escaped", "a\rb\nc", "a=0Db=0Ac"},
        {"a dot starting a line is escaped", ".\r\n.x\r\na.b", "=2E\r\n=2Ex\r\na.b"},
        {"75 characters fit a line", std::string(75, 'a'), std::string(75, 'a')},
        {"76 take a soft break", std::string(76, 'a'), std::string(75, 'a') + "=\r\na"},
        {"an escape is never split", std::string(73, 'a') + "\xff", std::string(73, 'a') + "=\r\n=FF"},
        {"a dot after a soft break is escaped", std::string(75, 'a') + ".", std::string(75, 'a') + "=\r\n=2E"},
        {"a UTF-8 character is never split", std::string(68, 'a') + "\xe4\xb8\xad",
         std::string(68, 'a') + "=\r\n=E4=B8=AD"},
    };
    for (const Row& row : rows) {
        std::string out;
        QuotedPrintableEncode(row.in, out);
        EXPECT_EQ(out, row.out) << row.name;
    }
}

TEST(MimeCodecQuotedPrintable, EncoderRoundTripsWithLinesOf76AtMost) {
    std::mt19937 random(2045);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const std::size_t length = random() % 600;
        for (std::size_t i = 0; i < length; ++i) {
            // CR LF pairs among arbitrary bytes, so both kinds of line break
            // occur; no zero byte, which no posted text holds (and which the
            // decoder reads as a line feed).
            if (random() % 20 == 0) text += "\r\n";
            else text += static_cast<char>(1 + random() % 255);
        }
        std::string encoded;
        QuotedPrintableEncode(text, encoded);
        for (std::size_t begin = 0; begin <= encoded.size();) {
            std::size_t end = encoded.find("\r\n", begin);
            if (end == std::string::npos) end = encoded.size();
            ASSERT_LE(end - begin, 76u);
            ASSERT_EQ(encoded.find_first_not_of("\t !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                                "abcdefghijklmnopqrstuvwxyz{|}~", begin) >= end, true);
            begin = end + 2;
        }
        std::string decoded(encoded.size(), '\0');
        decoded.resize(QuotedPrintableDecodeRange(encoded.data(), encoded.data() + encoded.size(), decoded.data()));
        ASSERT_EQ(decoded, text);
    }
}

TEST(MimeCodecQuotedPrintable, EscapeBeforeEndDoesNotSeeDigitsBeyondIt) {
    // The range ends after "=4"; the '1' after it in memory must not be read.
    const std::string text = "x=41";
    char out[4] = {};
    EXPECT_EQ(QuotedPrintableDecodeRange(text.data(), text.data() + 3, out), 2u);
    EXPECT_EQ(std::string(out, 2), "x\x04");
    EXPECT_EQ(QuotedPrintableDecodeRange(text.data(), text.data() + 2, out), 2u);
    EXPECT_EQ(std::string(out, 2), "x\n");
}

TEST(MimeCodecQuotedPrintable, ReadHex2FollowsTheScanfRuleWithinTheRange) {
    const auto read = [](const std::string& s) {
        ExactBytes b(s);
        return ReadHex2(b.begin(), b.end());
    };
    EXPECT_EQ(read("41"), 0x41u);
    EXPECT_EQ(read("fF"), 0xFFu);
    EXPECT_EQ(read("abc"), 0xABu);   // at most two digits
    EXPECT_EQ(read(" \t\r\n\v\f7"), 7u);
    EXPECT_EQ(read(""), 0u);
    EXPECT_EQ(read("   "), 0u);
    EXPECT_EQ(read("g1"), 0u);
    EXPECT_EQ(read("-1"), 0u);   // no sign, no "0x" prefix
}

TEST(MimeCodecQuotedPrintable, OutputNeverExceedsInputOnRandomBytes) {
    for (unsigned seed = 0; seed < 200; ++seed) {
        std::string in = RandomBytes(seed % 64, seed);
        for (std::size_t i = 0; i < in.size(); i += 3) in[i] = '=';
        DecodeQp(in);   // bounds are checked inside, reads by ASan
    }
}

// ---------------------------------------------------------------------------
// Fast paths against the one-character-at-a-time forms

// What a range decoder leaves in an output of exactly capacity bytes that
// held a known pattern before: the whole buffer (so bytes written past the
// count show) and the count.
struct DecoderRun {
    std::string buffer;
    std::size_t count;
    bool operator==(const DecoderRun& other) const { return count == other.count && buffer == other.buffer; }
};

DecoderRun RunDecoder(RangeDecoder decode, const ExactBytes& in, std::size_t capacity) {
    std::unique_ptr<char[]> out(new char[capacity]);
    for (std::size_t i = 0; i < capacity; ++i) out[i] = static_cast<char>(0xA5 ^ i);
    const std::size_t n = decode(in.begin(), in.end(), out.get());
    return {std::string(out.get(), capacity), n};
}

// The output size the base64 range decoder's contract asks for: 3 bytes per
// 4 alphabet characters.
std::size_t Base64Capacity(const std::string& in) {
    const std::size_t symbols = static_cast<std::size_t>(
        std::count_if(in.begin(), in.end(), [](char c) { return Base64SymbolValue(c) >= 0; }));
    return (3 * symbols + 3) / 4;
}

::testing::AssertionResult SameBase64Decode(const std::string& in) {
    const ExactBytes bytes(in);
    const std::size_t capacity = Base64Capacity(in);
    const DecoderRun fast = RunDecoder(Base64DecodeRange, bytes, capacity);
    const DecoderRun exact = RunDecoder(reference::Base64DecodeRange, bytes, capacity);
    if (fast == exact) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "base64: " << fast.count << " bytes instead of " << exact.count
                                         << (fast.buffer == exact.buffer ? "" : ", different output");
}

::testing::AssertionResult SameQuotedPrintableDecode(const std::string& in) {
    const ExactBytes bytes(in);
    const std::pair<RangeDecoder, RangeDecoder> decoders[] = {
        {QuotedPrintableDecodeRange, reference::QuotedPrintableDecodeRange},
        {QuotedPrintableDecodeAttachment, reference::QuotedPrintableDecodeAttachment},
    };
    for (const auto& [fastDecoder, exactDecoder] : decoders) {
        const DecoderRun fast = RunDecoder(fastDecoder, bytes, in.size());
        const DecoderRun exact = RunDecoder(exactDecoder, bytes, in.size());
        if (fast == exact) continue;
        return ::testing::AssertionFailure()
               << (fastDecoder == decoders[0].first ? "quoted-printable text: " : "quoted-printable attachment: ")
               << fast.count << " bytes instead of " << exact.count
               << (fast.buffer == exact.buffer ? "" : ", different output");
    }
    return ::testing::AssertionSuccess();
}

// The characters of encoded (CR LF removed) in lines of width characters,
// each ended by separator; the last line too.
std::string Rewrap(const std::string& encoded, std::size_t width, const std::string& separator) {
    std::string bare;
    for (char c : encoded)
        if (c != '\r' && c != '\n') bare += c;
    std::string out;
    for (std::size_t at = 0; at < bare.size(); at += width) out += bare.substr(at, width) + separator;
    return out;
}

// Every byte a fast path must stop at, or skip, or count differently.
const std::string kDisruptors = "\r\n \t=\0\x80\xff-Q"s;

// Every single insertion of every disruptor and every truncation of text.
template <typename Same>
void ExpectSameUnderEveryEdit(const std::string& text, const std::string& name, Same same) {
    for (std::size_t at = 0; at <= text.size(); ++at) {
        for (char c : kDisruptors) {
            std::string edited = text;
            edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(at), c);
            ASSERT_TRUE(same(edited)) << name << ", byte " << static_cast<int>(static_cast<unsigned char>(c))
                                      << " inserted at " << at;
        }
        ASSERT_TRUE(same(text.substr(0, at))) << name << ", cut to " << at << " bytes";
    }
}

TEST(MimeCodecFastPaths, Base64DecodeGivesTheBytesOfTheExactLoop) {
    const std::string mime72 = EncodeRange(RandomBytes(203, 11));   // ends with "xx="
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"72-character lines, \"xx=\" at the end", mime72},
        {"72-character lines, \"x==\" at the end", EncodeRange(RandomBytes(163, 12))},
        {"76-character lines", Rewrap(EncodeRange(RandomBytes(240, 13)), 76, "\r\n")},
        {"60-character lines ended by LF", Rewrap(mime72, 60, "\n")},
        {"no line breaks", Rewrap(mime72, 100000, "")},
    };
    for (const auto& text : texts) ExpectSameUnderEveryEdit(text.second, text.first, SameBase64Decode);

    // Longer bodies of every line width up to 80, padding left out.
    const std::string body = EncodeRange(RandomBytes(3000, 14));
    for (std::size_t width = 1; width <= 80; ++width) {
        ASSERT_TRUE(SameBase64Decode(Rewrap(body, width, "\r\n"))) << "width " << width;
        ASSERT_TRUE(SameBase64Decode(Rewrap(body.substr(0, body.size() - 5), width, " "))) << "width " << width;
    }

    // Random mixtures: mostly alphabet, with every other kind of byte.
    std::mt19937 rng(15);
    for (int round = 0; round < 2000; ++round) {
        std::string soup(rng() % 120, 'A');
        for (auto& c : soup) {
            const unsigned kind = rng() % 100;
            if (kind < 75) c = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[rng() % 64];
            else if (kind < 85) c = (kind & 1) ? '\r' : '\n';
            else if (kind < 88) c = '=';
            else c = static_cast<char>(rng() & 0xFF);
        }
        ASSERT_TRUE(SameBase64Decode(soup)) << "round " << round;
    }
}

TEST(MimeCodecFastPaths, Base64EncodeGivesTheCharactersOfTheOneGroupLoop) {
    const auto exact = [](const std::string& in) {
        ExactBytes bytes(in);
        std::string out = "prefix";
        reference::Base64EncodeRange(bytes.begin(), bytes.end(), out);
        return out.substr(6);
    };
    for (std::size_t n = 0; n <= 400; ++n) {
        const std::string in = RandomBytes(n, static_cast<unsigned>(2000 + n));
        const std::string expected = exact(in);
        ASSERT_EQ(EncodeRange(in), expected) << n;
        ASSERT_EQ(EncodeStream(in), expected) << n;
    }
    // Past one block of the stream encoder, whatever its size.
    for (std::size_t n : {100000u, 100001u, 100002u}) {
        const std::string in = RandomBytes(n, static_cast<unsigned>(n));
        ASSERT_EQ(EncodeRange(in), exact(in)) << n;
        ASSERT_EQ(EncodeStream(in), exact(in)) << n;
    }
}

TEST(MimeCodecFastPaths, QuotedPrintableDecodeGivesTheBytesOfTheExactLoop) {
    // Text as mailers write it: runs of every length up to 40 between
    // escapes of either case (=00 too), soft and hard line breaks, raw
    // 8-bit bytes and the odd forms the "%2x" rule reads.
    const char* pieces[] = {"=C3=A9", "=e9", "=00", "=\r\n", "\r\n", "=3D", "= 4", "=\n41", "=G", "\xd6\xd0", "=0a"};
    std::mt19937 rng(21);
    std::string text;
    while (text.size() < 700) {
        text.append(rng() % 41, static_cast<char>('a' + rng() % 26));
        text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    }
    ExpectSameUnderEveryEdit(text, "mail text", SameQuotedPrintableDecode);
    const std::string chinese = "=D6=D0=CE=C4=D3=CA=BC=FE abc=\r\n=B2=E2=CA=D4=\r\n" + std::string(17, 'x') + "=B2";
    ExpectSameUnderEveryEdit(chinese, "escapes only", SameQuotedPrintableDecode);

    // Random mixtures of '=', hexadecimal digits, white space and anything.
    for (int round = 0; round < 2000; ++round) {
        std::string soup(rng() % 80, 'x');
        for (auto& c : soup) {
            const unsigned kind = rng() % 100;
            if (kind < 15) c = '=';
            else if (kind < 40) c = "0123456789abcdefABCDEF"[rng() % 22];
            else if (kind < 55) c = " \t\r\n\v\f"[rng() % 6];
            else c = static_cast<char>(rng() & 0xFF);
        }
        ASSERT_TRUE(SameQuotedPrintableDecode(soup)) << "round " << round;
    }
}

TEST(MimeCodecFastPaths, CorpusMessagesDecodeAlikeBothWays) {
    // Each whole message through both decoders: headers, base64 and
    // quoted-printable bodies, and all their odd bytes.
    namespace fs = std::filesystem;
    const fs::path root = fs::path(TARNWICK_CORPUS_DIR) / "mail";
    ASSERT_TRUE(fs::is_directory(root));
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string message = test::ReadFile(entry.path().string());
        ASSERT_TRUE(SameBase64Decode(message)) << entry.path();
        ASSERT_TRUE(SameQuotedPrintableDecode(message)) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 100u);
}

}  // namespace
}  // namespace tarnwick::mime
