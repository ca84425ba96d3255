// Header fields as today's mail writes them: unfolding, structured values
// and their parameters (RFC 2045, 2231), encoded words (RFC 2047), and the
// charset conversions under them. Expected text is written as UTF-16
// literals; the bytes come from Python's codecs (utf-8, gbk, cp949, latin-1,
// base64, quopri).
#include "mime/current/Header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"
#include "text/Charsets.h"

namespace tarnwick::mime::current {
namespace {

TEST(CurrentHeaderReadFields, UnfoldsAndStopsWhereTheHeaderEnds) {
    struct Row {
        std::string input;
        std::string fields;   // "name=value|..."
        std::string rest;     // from the cursor on; "<null>" when the range ended first
    };
    const std::vector<Row> rows = {
        {"Subject: one\r\n two\r\n\tthree\r\n\r\nbody", "Subject=one two\tthree", "body"},
        {"X-Empty:\r\n\tfolded\r\n\r\n", "X-Empty=folded", ""},
        {"A: 1\nB:2\n\nbody\n", "A=1|B=2", "body\n"},
        {"A: 1\r\nB: 2", "A=1|B=2", "<null>"},
        {"A: 1\r\nB: 2\r\n", "A=1|B=2", "<null>"},
        {"A: 1\r\nthis line is body\r\nC: 3\r\n", "A=1", "this line is body\r\nC: 3\r\n"},
        {"From alice Mon Jan  1 00:00:00 2024\r\nA: 1\r\n\r\n", "A=1", ""},
        {"\r\nbody", "", "body"},
    };
    for (const Row& row : rows) {
        const test::ExactBytes bytes(row.input);
        const char* cursor = bytes.begin();
        std::string fields;
        for (const Field& field : ReadFields(cursor, bytes.end()))
            fields += (fields.empty() ? "" : "|") + field.name + "=" + field.value;
        EXPECT_EQ(fields, row.fields) << row.input;
        EXPECT_EQ(cursor == nullptr ? "<null>" : std::string(cursor, bytes.end()), row.rest) << row.input;
    }
}

TEST(CurrentHeaderReadFields, LooksUpNamesIgnoringCaseFirstOneWins) {
    const test::ExactBytes bytes("content-TYPE: text/plain\r\nSubject: a\r\nSUBJECT: b\r\n\r\n");
    const char* cursor = bytes.begin();
    const std::vector<Field> fields = ReadFields(cursor, bytes.end());
    ASSERT_NE(FindField(fields, "Content-Type"), nullptr);
    EXPECT_EQ(FindField(fields, "Content-Type")->value, "text/plain");
    ASSERT_NE(FindField(fields, "subject"), nullptr);
    EXPECT_EQ(FindField(fields, "subject")->value, "a");
    EXPECT_EQ(FindField(fields, "Subjec"), nullptr);
}

TEST(CurrentHeaderParameters, ReadsEveryFormOfParameter) {
    struct Row {
        std::string input;
        std::string value;
        std::string parameter;
        std::u16string text;   // u"<none>" when the parameter is absent
    };
    const std::vector<Row> rows = {
        {"multipart/mixed; charset=us-ascii; boundary=\"b1\"", "multipart/mixed", "boundary", u"b1"},
        {"attachment; filename=\"a\\\"b;c.txt\"; size=3", "attachment", "filename", u"a\"b;c.txt"},
        {"text/plain (a comment; with a semicolon) ; (x)charset=utf-8", "text/plain", "charset", u"utf-8"},
        {"text/plain; CharSet=UTF-8", "text/plain", "charset", u"UTF-8"},
        {"a/b; x=1; X=2", "a/b", "x", u"1"},
        {"text/plain; name", "text/plain", "name", u"<none>"},
        {"attachment; filename*=utf-8''%E6%B5%8B", "attachment", "filename", u"测"},
        {"attachment; filename*=iso-8859-1'en'caf%E9", "attachment", "filename", u"café"},
        {"attachment; filename*1*=%B5%8B; filename*0*=utf-8'zh'%E6; filename*2=.txt", "attachment", "filename",
         u"测.txt"},
        {"application/x-stuff; title*0*=us-ascii'en'This%20is%20even%20more%20; "
         "title*1*=%2A%2A%2Afun%2A%2A%2A%20; title*2=\"isn't it!\"",   // RFC 2231's example
         "application/x-stuff", "title", u"This is even more ***fun*** isn't it!"},
        {"attachment; filename=\"old.txt\"; filename*=utf-8''%E6%B5%8B.txt", "attachment", "filename", u"测.txt"},
        {"attachment; filename*=utf-8''%E6%B5%8B.txt; filename=\"old.txt\"", "attachment", "filename", u"测.txt"},
        {"attachment; filename=\"=?utf-8?B?5rWL?=.txt\"", "attachment", "filename", u"测.txt"},
    };
    for (const Row& row : rows) {
        const StructuredValue parsed = ParseStructured(row.input);
        EXPECT_EQ(parsed.value, row.value) << row.input;
        const Parameter* parameter = FindParameter(parsed, row.parameter);
        EXPECT_EQ(parameter == nullptr ? u"<none>" : ParameterText(*parameter), row.text) << row.input;
    }
}

TEST(CurrentHeaderDecode, DecodesEncodedWordsAndRawText) {
    struct Row {
        std::string input;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {"=?UTF-8?B?5rWL?=", u"测"},
        {"=?utf-8?b?5rWL?=", u"测"},
        {"=?utf-8?q?caf=C3=A9_au_lait?=", u"café au lait"},
        {"=?Utf-8?Q?caf=c3=a9?=", u"café"},
        {"=?utf-8*en?q?hi?=", u"hi"},
        {"=?utf-8?q?a?= =?utf-8?q?b?=", u"ab"},
        {"=?utf-8?q?a?=\r\n\t=?utf-8?q?b?=", u"ab"},
        {"=?utf-8?q?a?= - =?utf-8?q?b?=", u"a - b"},
        {"=?UTF-8?B?5g==?= =?UTF-8?B?tYs=?=", u"测"},
        {"=?GB2312?B?1tDOxA==?= =?utf-8?B?5rWL?= =?EUC-KR?B?x9E=?= =?ISO-8859-1?Q?caf=E9?=", u"中文测한café"},
        {"=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=", u"テスト"},
        {"=?x-unknown?B?1tDOxA==?=", u"中文"},
        {"=?utf-8?x?abc?=", u"=?utf-8?x?abc?="},
        {"=?utf-8?q?abc", u"=?utf-8?q?abc"},
        {"=??q?abc?=", u"=??q?abc?="},
        {"Re: \xE6\xB5\x8B\xE8\xAF\x95 =?utf-8?q?x?=", u"Re: 测试 x"},
        {"\xD6\xD0\xCE\xC4 report", u"中文 report"},
    };
    for (const Row& row : rows) EXPECT_EQ(DecodeHeaderText(row.input), row.expected) << row.input;
}

TEST(CurrentHeaderCharsets, ConvertsByNameAliasOrFallback) {
    struct Row {
        std::string bytes;
        std::string charset;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {"\xD6\xD0\xCE\xC4", "GB2312", u"中文"},
        {"\xD6\xD0\xCE\xC4", "x-gbk", u"中文"},
        {"\xD6\xD0\xCE\xC4", " \"gbk\" ", u"中文"},
        {"\xD6\xD0\xCE\xC4", "x-martian", u"中文"},
        {"\xD6\xD0\xCE\xC4", "", u"中文"},
        {"\xC7\xD1\xB1\xB9", "ks_c_5601-1987", u"한국"},
        {"\xC7\xD1\xB1\xB9", "EUC-KR", u"한국"},
        {"\x8C\x63", "euc-kr", u"똠"},   // beyond KS X 1001: read as its superset
        {"caf\xE9", "Latin1", u"café"},
        {"a\xFF" "b", "utf-8", u"a\uFFFDb"},
        {"\xF0\x9F\x98\x80!", "UTF8", u"\U0001F600!"},
    };
    for (const Row& row : rows) EXPECT_EQ(text::ToUnicode(row.bytes, row.charset), row.expected) << row.charset;
    EXPECT_EQ(text::CodePageOfCharset("GB2312"), text::CodePageOfCharset("X-GBK"));
    EXPECT_EQ(text::CodePageOfCharset("x-martian"), text::CodePageOfCharset(""));
}

}  // namespace
}  // namespace tarnwick::mime::current
