// MIME header fields and parameters: ReadLine, the known-name
// table, Field construction, DecodeEncodedWord, ParseHeaderBlock and
// GetField. Message bytes are copied into exactly-sized heap buffers so that
// AddressSanitizer catches any read past the end.
#include "mime/stored/Header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mime/stored/Part.h"

#include "tests/unit/TestFiles.h"

namespace tarnwick::mime::stored {
namespace {

using namespace std::string_literals;

using test::ExactBytes;

// All lines ReadLine delivers from bytes, and where the cursor ended up.
std::vector<std::string> Lines(const std::string& bytes) {
    ExactBytes b(bytes);
    const char* cursor = b.begin();
    char line[kLineBytes];
    std::vector<std::string> lines;
    while (ReadLine(cursor, b.end(), line)) {
        EXPECT_EQ(line[kLineBytes - 1], '\0');
        lines.emplace_back(line);
    }
    EXPECT_EQ(cursor, nullptr);
    return lines;
}

using FieldList = std::vector<std::pair<std::string, std::string>>;

FieldList Fields(const Part& part) {
    FieldList list;
    for (const auto& f : part.fields) list.emplace_back(f->Name(), f->Value());
    return list;
}

// Parses a header block alone; returns the fields and the offset at which the
// cursor stopped (-1 for null).
FieldList ParseBlock(const std::string& bytes, long* stop = nullptr) {
    ExactBytes b(bytes);
    Part part(b.end(), b.end());   // an empty part to hold the fields
    const char* cursor = b.begin();
    ParseHeaderBlock(part, cursor, b.end());
    if (stop != nullptr) *stop = cursor == nullptr ? -1 : static_cast<long>(cursor - b.begin());
    return Fields(part);
}

std::string Stored(const std::string& value) {
    char stored[kValueBytes];
    std::memset(stored, 'X', sizeof stored);
    DecodeEncodedWord(value.c_str(), stored);
    EXPECT_EQ(stored[kValueBytes - 1], '\0');
    return stored;
}

// ---------------------------------------------------------------------------
// ReadLine

TEST(StoredHeaderReadLine, DeliversLinesWithoutTheirLineEnds) {
    EXPECT_EQ(Lines("From: a\r\nTo: b\r\n\r\nbody\r\n"), (std::vector<std::string>{"From: a", "To: b", "", "body"}));
    EXPECT_EQ(Lines("a\nb\n\nc\n"), (std::vector<std::string>{"a", "b", "", "c"}));
}

TEST(StoredHeaderReadLine, SkipsLeadingWhiteSpaceAndCutsAtTheFirstCarriageReturn) {
    EXPECT_EQ(Lines(" \t\r  abc \r\n"), (std::vector<std::string>{"abc "}));   // trailing blank kept
    EXPECT_EQ(Lines("ab\rcd\r\n"), (std::vector<std::string>{"ab"}));
    EXPECT_EQ(Lines(" \t \r\n"), (std::vector<std::string>{""}));
    EXPECT_EQ(Lines("\n\nx\n"), (std::vector<std::string>{"", "", "x"}));
}

TEST(StoredHeaderReadLine, TextAfterTheLastLineFeedIsTheFinalLine) {
    EXPECT_EQ(Lines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Lines("a\r\n--B--"), (std::vector<std::string>{"a", "--B--"}));
    EXPECT_EQ(Lines("no line feed at all"), (std::vector<std::string>{"no line feed at all"}));
    EXPECT_EQ(Lines("  x\ry"), (std::vector<std::string>{"x"}));
    EXPECT_EQ(Lines(""), (std::vector<std::string>{}));
    EXPECT_EQ(Lines("\r"), (std::vector<std::string>{""}));
}

TEST(StoredHeaderReadLine, MovesTheCursorPastTheLineFeedAndNullsItWhenUsedUp) {
    ExactBytes b("ab\r\ncd");
    const char* cursor = b.begin();
    char line[kLineBytes];
    ASSERT_TRUE(ReadLine(cursor, b.end(), line));
    EXPECT_EQ(cursor, b.begin() + 4);
    ASSERT_TRUE(ReadLine(cursor, b.end(), line));   // the unterminated final line
    EXPECT_STREQ(line, "cd");
    EXPECT_EQ(cursor, nullptr);
    EXPECT_FALSE(ReadLine(cursor, b.end(), line));   // null cursor stays false
    EXPECT_EQ(cursor, nullptr);

    ExactBytes ended("ab\n");
    cursor = ended.begin();
    ASSERT_TRUE(ReadLine(cursor, ended.end(), line));
    std::memset(line, 'X', sizeof line);
    EXPECT_FALSE(ReadLine(cursor, ended.end(), line));   // nothing after the last LF
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(line[0], '\0');   // zero-filled before the search
}

TEST(StoredHeaderReadLine, LongLinesAreCutTo254BytesWithoutCarriageReturnCut) {
    // 253 bytes and CR LF: n = 254, cut at the CR.
    EXPECT_EQ(Lines(std::string(253, 'a') + "\r\n"), (std::vector<std::string>{std::string(253, 'a')}));
    // 254 bytes and CR LF: n = 255 > 254, the first 254 bytes (the CR is byte 255).
    EXPECT_EQ(Lines(std::string(254, 'a') + "\r\n"), (std::vector<std::string>{std::string(254, 'a')}));
    // 300 bytes: the rest is lost, the next line follows normally.
    EXPECT_EQ(Lines(std::string(300, 'b') + "\r\nnext\r\n"),
              (std::vector<std::string>{std::string(254, 'b'), "next"}));
    // A CR within the first 254 bytes of a long line is not a cut point.
    ExactBytes b(std::string(100, 'a') + "\r" + std::string(200, 'b') + "\r\n");
    const char* cursor = b.begin();
    char line[kLineBytes];
    ASSERT_TRUE(ReadLine(cursor, b.end(), line));
    EXPECT_EQ(std::string(line, 254), std::string(100, 'a') + "\r" + std::string(153, 'b'));
    EXPECT_EQ(line[254], '\0');
}

TEST(StoredHeaderReadLine, LeadingWhiteSpaceDoesNotCountTowardsTheLimit) {
    EXPECT_EQ(Lines(std::string(40, ' ') + std::string(254, 'c') + "\n"),
              (std::vector<std::string>{std::string(254, 'c')}));
}

// ---------------------------------------------------------------------------
// Known names and Field construction

TEST(StoredHeaderKnownNames, SeventeenNamesInTableOrderInZeroPaddedSlots) {
    const std::vector<std::string> expected = {
        "Content-Disposition", "Message-ID", "From", "To", "Subject", "Date",
        "MIME-Version", "Content-Type", "X-Priority", "X-MSMail-Priority", "X-Mailer",
        "X-MimeOLE", "Content-Transfer-Encoding", "charset", "boundary", "name", "filename"};
    ASSERT_EQ(kKnownFieldCount, expected.size());
    for (std::size_t i = 0; i < kKnownFieldCount; ++i) {
        EXPECT_EQ(std::string(KnownFieldNames[i]), expected[i]);
        for (std::size_t j = expected[i].size(); j < kNameBytes; ++j) ASSERT_EQ(KnownFieldNames[i][j], '\0');
    }
}

TEST(StoredHeaderField, OnlyKnownNamesSpelledExactlyAreStored) {
    for (const auto& slot : KnownFieldNames) {
        auto field = Field::Create(slot, "v");
        ASSERT_NE(field, nullptr) << slot;
        EXPECT_STREQ(field->Name(), slot);
        EXPECT_STREQ(field->Value(), "v");
    }
    for (const char* name : {"content-type", "CONTENT-TYPE", "Subject ", " Subject", "Cc", "", "Boundary",
                             "X-Mailer:", "Content-Type\t"}) {
        EXPECT_EQ(Field::Create(name, "v"), nullptr) << name;
    }
}

TEST(StoredHeaderField, StoresTheDecodedValueByItsLength) {
    auto field = Field::Create("Subject", "=?gb2312?B?1tDOxA==?=");
    ASSERT_NE(field, nullptr);
    EXPECT_STREQ(field->Value(), "\xd6\xd0\xce\xc4");
    EXPECT_EQ(field->ValueSize(), 4u);
    // No fixed buffers: a field costs less than one 255-byte value.
    EXPECT_LT(sizeof(Field), kValueBytes);
}

// ---------------------------------------------------------------------------
// DecodeEncodedWord

struct WordCase {
    const char* name;
    std::string value;
    std::string stored;
};

TEST(StoredHeaderEncodedWord, Table) {
    const std::vector<WordCase> cases = {
        {"no encoded word", "Hello world", "Hello world"},
        {"empty", "", ""},
        {"a lone '=' and '?'", "a = b ? c", "a = b ? c"},
        {"one B word", "=?gb2312?B?1tDOxA==?=", "\xd6\xd0\xce\xc4"},
        {"lower-case b", "=?gbk?b?Zm9v?=", "foo"},
        {"prefix and tail", "Re: =?utf-8?B?Zm9v?= bar", "Re: foo bar"},
        {"white space before the word stays in the prefix", "a  =?x?B?Zm9v?=", "a  foo"},
        {"second word stays encoded", "=?x?B?Zm9v?= =?x?B?YmFy?=", "foo =?x?B?YmFy?="},
        {"B word without padding ends at the closing '?='", "=?x?B?Zm9vYg?=", "foob"},
        {"B word with two symbols of a quadruple", "=?x?B?Zm9vY?=", "foo"},
        {"B tail follows the first '?=' of the whole value", "a?=b =?c?B?Zm9v?=", "a?=b foob =?c?B?Zm9v?="},
        {"B zero byte ends the value", "x=?c?B?QQBC?=y", "xA"},
        {"B zero byte first", "=?c?B?AEFC?=", ""},
        {"Q word keeps underscores", "=?iso-8859-1?Q?a_b=3Dc=e9?=", "a_b=c\xe9"},
        {"lower-case q and digits of either case", "=?x?q?=c4=E3?=", "\xc4\xe3"},
        {"Q prefix and tail", "Re: =?x?Q?hi?= there", "Re: hi there"},
        {"Q escape =00 ends the value", "=?x?Q?ab=00cd?=", "ab"},
        {"Q '=' with no digits gives a zero byte", "=?x?Q?ab=zz?=tail", "ab"},
        {"Q white space skipped by the %2x rule", "=?x?Q?= 41?=", "A1"},
        {"Q second word stays encoded", "=?x?Q?a?= =?x?Q?b?=", "a =?x?Q?b?="},
        {"Q tail from the first '?=' after the text start", "a?=b =?x?Q?c?=d", "a?=b cd"},
        {"letter neither B nor Q: unchanged", "Re: =?gb2312?X?abc?= (2)", "Re: =?gb2312?X?abc?= (2)"},
        {"letter '?': unchanged", "pre =?x??abc?= post", "pre =?x??abc?= post"},
        {"empty charset", "=??B?Zm9v?=", "foo"},
        // Incomplete words: stored unchanged.
        {"no '?' after the charset", "x =?abc", "x =?abc"},
        {"no letter", "x =?abc?", "x =?abc?"},
        {"no '?' after the letter", "x =?abc?B", "x =?abc?B"},
        {"no closing '?='", "x =?abc?B?Zm9v", "x =?abc?B?Zm9v"},
        {"closing '?' without '='", "x =?abc?B?Zm9v?", "x =?abc?B?Zm9v?"},
        {"'?=' only before the encoded text", "a?= =?c?B?Zm9v", "a?= =?c?B?Zm9v"},
        {"just '=?'", "=?", "=?"},
        {"'=?' at the very end", "abc=?", "abc=?"},
    };
    for (const auto& c : cases) EXPECT_EQ(Stored(c.value), c.stored) << c.name;
}

TEST(StoredHeaderEncodedWord, StoredValueIsCutAt254Bytes) {
    // The B tail is taken from the first "?=" of the whole value, which here
    // lies in the prefix: prefix + decoded + tail would exceed 254 bytes.
    const std::string value = "a?=" + std::string(230, 'b') + "=?c?B?QUJD?=";
    ASSERT_LE(value.size(), 254u);
    const std::string stored = Stored(value);
    EXPECT_EQ(stored.size(), 254u);
    EXPECT_EQ(stored.substr(0, 233), "a?=" + std::string(230, 'b'));
    EXPECT_EQ(stored.substr(233, 3), "ABC");
    // A plain value of 254 bytes is kept whole; a longer one is read up to 254.
    EXPECT_EQ(Stored(std::string(254, 'v')), std::string(254, 'v'));
    EXPECT_EQ(Stored(std::string(400, 'v')), std::string(254, 'v'));
}

TEST(StoredHeaderEncodedWord, QEscapeAtTheEndOfTheValueReadsNothingBeyond) {
    // The value ends right after "=4"; "%2x" reading is bounded by the value.
    EXPECT_EQ(Stored("=?x?Q?ab=4"), "=?x?Q?ab=4");   // no closing: unchanged
    EXPECT_EQ(Stored("=?x?Q?=4?="), "\x04");           // '=' consumes "4?", then '=' alone: zero
}

// ---------------------------------------------------------------------------
// ParseHeaderBlock

TEST(StoredHeaderParse, StoresKnownHeadersInLineOrderAndStopsAfterTheEmptyLine) {
    long stop = 0;
    const std::string block =
        "From: alice\r\nTo: bob\r\nSubject: Hi\r\nDate: Mon, 1 Jan 2001 10:00:00 +0800\r\n"
        "X-Unknown: x\r\n\r\nbody\r\n";
    EXPECT_EQ(ParseBlock(block, &stop), (FieldList{{"From", "alice"},
                                                   {"To", "bob"},
                                                   {"Subject", "Hi"},
                                                   {"Date", "Mon, 1 Jan 2001 10:00:00 +0800"}}));
    EXPECT_EQ(stop, static_cast<long>(block.find("body")));
}

TEST(StoredHeaderParse, WhiteSpaceOnlyLineEndsTheBlock) {
    long stop = 0;
    EXPECT_EQ(ParseBlock("Subject: a\r\n \t \r\nTo: b\r\n\r\n", &stop), (FieldList{{"Subject", "a"}}));
    EXPECT_EQ(stop, 17);
}

TEST(StoredHeaderParse, BlockThatRunsToTheEndLeavesTheCursorNull) {
    long stop = 0;
    EXPECT_EQ(ParseBlock("Subject: a\r\nTo: b\r\n", &stop), (FieldList{{"Subject", "a"}, {"To", "b"}}));
    EXPECT_EQ(stop, -1);
    EXPECT_EQ(ParseBlock("Subject: a\r\nTo: no line feed", &stop), (FieldList{{"Subject", "a"}, {"To", "no line feed"}}));
    EXPECT_EQ(stop, -1);
    EXPECT_EQ(ParseBlock("", &stop), FieldList{});
    EXPECT_EQ(stop, -1);
}

struct BlockCase {
    const char* name;
    std::string block;
    FieldList fields;
};

TEST(StoredHeaderParse, SegmentParameterAndQuotingRules) {
    const std::vector<BlockCase> cases = {
        {"other letter case is not stored", "content-type: text/plain\r\nFROM: x\r\n\r\n", {}},
        {"colon without a space and no '='", "From:x\r\n\r\n", {}},
        {"space before the colon", "Subject : x\r\n\r\n", {}},
        {"empty value after ': '", "Subject: \r\n\r\n", {{"Subject", ""}}},
        {"trailing blanks are kept", "Subject: a  \r\n\r\n", {{"Subject", "a  "}}},
        {"';' cuts the value, inside quotes too", "From: \"Doe; John\" <j@x>\r\n\r\n", {{"From", "\"Doe"}}},
        {"header value is not unquoted", "Content-Disposition: \"attachment\"\r\n\r\n",
         {{"Content-Disposition", "\"attachment\""}}},
        {"header and its first parameter", "Content-Type: text/plain; charset=gb2312\r\n\r\n",
         {{"Content-Type", "text/plain"}, {"charset", "gb2312"}}},
        {"unquoted parameter runs to the end of the line",
         "Content-Type: text/plain; charset=gb2312; format=flowed\r\n\r\n",
         {{"Content-Type", "text/plain"}, {"charset", "gb2312; format=flowed"}}},
        {"quoted parameter ends at its closing quote",
         "Content-Type: text/plain; charset=\"gb2312\"; format=flowed\r\n\r\n",
         {{"Content-Type", "text/plain"}, {"charset", "gb2312"}}},
        {"quoted parameter keeps ';'", "Content-Type: multipart/mixed; boundary=\"a;b\"\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"boundary", "a;b"}}},
        {"unterminated quote runs to the end", "Content-Type: x; boundary=\"abc\r\n\r\n",
         {{"Content-Type", "x"}, {"boundary", "abc"}}},
        {"white space before the parameter name is skipped",
         "Content-Disposition: attachment; \t filename=a.txt\r\n\r\n",
         {{"Content-Disposition", "attachment"}, {"filename", "a.txt"}}},
        {"space before '=' makes the name unknown", "Content-Type: x; name =a\r\n\r\n", {{"Content-Type", "x"}}},
        {"parameter without '='", "Content-Type: text/plain; flowed\r\n\r\n", {{"Content-Type", "text/plain"}}},
        {"unknown parameter name", "Content-Type: text/plain; format=flowed\r\n\r\n",
         {{"Content-Type", "text/plain"}}},
        {"parameter of an unknown header is still stored", "X-Other: y; name=z\r\n\r\n", {{"name", "z"}}},
        {"';' ends a line without a parameter", "Content-Type: multipart/mixed;\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}}},
        {"folded boundary on a line of its own",
         "Content-Type: multipart/mixed;\r\n\tboundary=\"----=_NextPart_000\"\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"boundary", "----=_NextPart_000"}}},
        {"parameter line: text after ';' not examined", "filename=a.txt; name=b\r\n\r\n", {{"filename", "a.txt"}}},
        {"parameter line: quoted value cut at ';'", "filename=\"a;b\"\r\n\r\n", {{"filename", "a"}}},
        {"parameter line: empty value", "filename=\r\n\r\n", {{"filename", ""}}},
        {"': ' takes precedence over '='", "boundary=a: b\r\n\r\n", {}},
        {"line that starts with '=' has an empty name", "=?x?B?Zm9v?=\r\n\r\n", {}},
        {"line without ': ' or '='", "just text\r\n\r\n", {}},
        {"a ';' as the first byte", ";name=x\r\n\r\n", {}},
        {"zero byte ends the line's text", "Subject: a\0b\r\n\r\n"s, {{"Subject", "a"}}},
        {"two Subject lines are both stored", "Subject: one\r\nSubject: two\r\n\r\n",
         {{"Subject", "one"}, {"Subject", "two"}}},
        {"LF-only line ends", "Subject: a\nTo: b\n\nbody\n", {{"Subject", "a"}, {"To", "b"}}},
        {"encoded parameter value is decoded",
         "Content-Disposition: attachment; filename=\"=?gb2312?B?1tDOxC50eHQ=?=\"\r\n\r\n",
         {{"Content-Disposition", "attachment"}, {"filename", "\xd6\xd0\xce\xc4.txt"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseBlock(c.block), c.fields) << c.name;
}

TEST(StoredHeaderParse, BoundaryComesOnlyFromTheContentTypeField) {
    const std::vector<BlockCase> cases = {
        {"Content-Type's own line", "Content-Type: multipart/mixed; boundary=b\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"boundary", "b"}}},
        {"a folded line of Content-Type", "Content-Type: multipart/mixed;\r\n\tcharset=x\r\n boundary=b\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"charset", "x"}, {"boundary", "b"}}},
        {"a line after Content-Type that starts no field", "Content-Type: multipart/mixed;\r\nboundary=b\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"boundary", "b"}}},
        {"a folded line holding ': '", "Content-Type: multipart/mixed;\r\n\tx: y; boundary=b\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"boundary", "b"}}},
        {"Content-Type in other letters (not stored itself)", "CONTENT-TYPE: multipart/mixed; boundary=b\r\n\r\n",
         {{"boundary", "b"}}},
        {"a blank before Content-Type's colon", "Content-Type : multipart/mixed; boundary=b\r\n\r\n",
         {{"boundary", "b"}}},
        {"Subject", "Subject: hi; boundary=b\r\n\r\n", {{"Subject", "hi"}}},
        {"From", "From: \"x; boundary=b\" <x@y>\r\n\r\n", {{"From", "\"x"}}},
        {"Content-Disposition", "Content-Disposition: attachment; boundary=b\r\n\r\n",
         {{"Content-Disposition", "attachment"}}},
        {"an unknown header", "X-Other: y; boundary=b\r\n\r\n", {}},
        {"a folded Subject line", "Subject: hi;\r\n boundary=b\r\n\r\n", {{"Subject", "hi"}}},
        {"a line after Subject", "Subject: hi\r\nboundary=b\r\n\r\n", {{"Subject", "hi"}}},
        {"a header after Content-Type ends it",
         "Content-Type: multipart/mixed\r\nSubject: s; boundary=b\r\n\r\n",
         {{"Content-Type", "multipart/mixed"}, {"Subject", "s"}}},
        {"a line before any field", "boundary=b\r\nContent-Type: text/plain\r\n\r\n", {{"Content-Type", "text/plain"}}},
        {"other parameters stay wherever they are", "Subject: s; name=n\r\nfilename=f\r\n\r\n",
         {{"Subject", "s"}, {"name", "n"}, {"filename", "f"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseBlock(c.block), c.fields) << c.name;
}

TEST(StoredHeaderParse, FoldedSubjectKeepsTheFirstLineOnly) {
    EXPECT_EQ(ParseBlock("Subject: =?x?B?Zm9v?=\r\n =?x?B?YmFy?=\r\n\r\n"), (FieldList{{"Subject", "foo"}}));
}

TEST(StoredHeaderParse, HeaderLineOf300BytesIsCutSoThatTheLineHolds254) {
    const std::string block = "Subject: " + std::string(291, 'x') + "\r\n\r\n";
    EXPECT_EQ(ParseBlock(block), (FieldList{{"Subject", std::string(254 - 9, 'x')}}));
    // A line of exactly 254 bytes is kept whole.
    const std::string exact = "Subject: " + std::string(245, 'y') + "\r\n\r\n";
    EXPECT_EQ(ParseBlock(exact), (FieldList{{"Subject", std::string(245, 'y')}}));
}

TEST(StoredHeaderParse, KeepsTheFirstThousandFieldsThenOnlyNamesNotYetStored) {
    std::string block;
    for (int i = 0; i < 3000; ++i) block += "To: a" + std::to_string(i) + "\r\n";
    block += "Subject: late\r\nTo: later\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\nSubject: again\r\n\r\n";
    const FieldList fields = ParseBlock(block);
    ASSERT_EQ(fields.size(), text::kMaxHeaderFields + 3);
    EXPECT_EQ(fields.front(), (FieldList::value_type{"To", "a0"}));
    EXPECT_EQ(fields[text::kMaxHeaderFields - 1], (FieldList::value_type{"To", "a999"}));
    EXPECT_EQ(FieldList(fields.end() - 3, fields.end()),
              (FieldList{{"Subject", "late"}, {"Content-Type", "multipart/mixed"}, {"boundary", "b"}}));
}

TEST(StoredHeaderParse, OneLineYieldsAtMostTwoFieldsHeaderFirst) {
    EXPECT_EQ(ParseBlock("Content-Type: text/plain; name=a; filename=b\r\n\r\n"),
              (FieldList{{"Content-Type", "text/plain"}, {"name", "a; filename=b"}}));
}

// ---------------------------------------------------------------------------
// GetField

TEST(StoredHeaderGetField, FirstMatchWinsAndTheWhole255ByteBufferIsCopied) {
    ExactBytes b("Subject: one\r\nSubject: two\r\n\r\n");
    Part part(b.begin(), b.end());
    char out[kValueBytes];
    std::memset(out, 'X', sizeof out);
    ASSERT_TRUE(GetField(part, "Subject", out));
    EXPECT_STREQ(out, "one");
    for (std::size_t i = 3; i < kValueBytes; ++i) ASSERT_EQ(out[i], '\0') << i;
}

TEST(StoredHeaderGetField, MissingFieldLeavesTheBufferUnchanged) {
    ExactBytes b("Subject: one\r\n\r\n");
    Part part(b.begin(), b.end());
    char out[kValueBytes];
    std::memset(out, 'X', sizeof out);
    EXPECT_FALSE(GetField(part, "From", out));
    EXPECT_FALSE(GetField(part, "subject", out));   // case-sensitive
    for (char c : out) ASSERT_EQ(c, 'X');
}

TEST(StoredHeaderGetField, ParameterOnAnEarlierLineIsFoundFirst) {
    ExactBytes b("Content-Type: image/png; name=first\r\nX-Other: y; name=second\r\n\r\n");
    Part part(b.begin(), b.end());
    char out[kValueBytes];
    ASSERT_TRUE(GetField(part, "name", out));
    EXPECT_STREQ(out, "first");
}

TEST(StoredHeaderGetField, SearchesOnlyThePartsOwnList) {
    ExactBytes b(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nSubject: inner\r\n\r\ntext\r\n--b--\r\n");
    Part root(b.begin(), b.end());
    ASSERT_EQ(root.children.size(), 1u);
    char out[kValueBytes];
    EXPECT_FALSE(GetField(root, "Subject", out));
    ASSERT_TRUE(GetField(*root.children[0], "Subject", out));
    EXPECT_STREQ(out, "inner");
}

}  // namespace
}  // namespace tarnwick::mime::stored
