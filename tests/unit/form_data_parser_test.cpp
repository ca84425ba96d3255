#include "upload/FormDataParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace tarnwick::upload {
namespace {

// A body copied into an exactly sized heap buffer, so that ASan catches any
// read past its end, and parsed in place.
class ParsedBody {
public:
    explicit ParsedBody(const std::string& bytes) : size_(bytes.size()), bytes_(new char[bytes.size()]) {
        if (size_ > 0) std::memcpy(bytes_.get(), bytes.data(), size_);
        parsed_ = parser.Parse(bytes_.get(), static_cast<std::int32_t>(size_));
    }
    bool Parsed() const { return parsed_; }
    // The bytes of a lookup result, after checking that they lie in the body
    // (or, for names, in a record's slot).
    std::string Text(FieldText text) const {
        EXPECT_GE(text.length, 0);
        if (text.length <= 0) return "";
        return std::string(text.data, static_cast<std::size_t>(text.length));
    }
    bool InBody(FieldText text) const {
        if (text.length == 0) return true;
        return text.length > 0 && text.data >= bytes_.get() && text.data + text.length <= bytes_.get() + size_;
    }

    FormDataParser parser;

private:
    std::size_t size_;
    std::unique_ptr<char[]> bytes_;
    bool parsed_ = false;
};

// The search operations run on a body kept in an exactly sized buffer.
using Bytes = test::ExactBytes;

TEST(FormDataSearches, BoundedFind) {
    struct Row {
        const char* name;
        std::string body;
        std::size_t start;
        std::string pattern;
        std::size_t window;
        std::size_t want;   // offset after the occurrence, or kNone
    };
    const std::vector<Row> rows = {
        {"at the start", "name=x", 0, "name", 32, 4},
        {"first of two", "abab", 0, "ab", 32, 2},
        {"from a later start", "abab", 1, "ab", 32, 4},
        {"window exactly the pattern", "name", 0, "name", 4, 4},
        {"window one byte short", "name", 0, "name", 3, kNone},
        {"occurrence ending on the window's last byte", "xxname", 0, "name", 6, 6},
        {"occurrence one byte past the window", "xxxname", 0, "name", 6, kNone},
        {"window cut at the body's end", "xxname", 0, "name", 32, 6},
        {"pattern running past the end", "xxnam", 0, "name", 32, kNone},
        {"window of 0", "name", 0, "name", 0, kNone},
        {"start at the end", "name", 4, "n", 32, kNone},
        {"start past the end", "name", 9, "n", 32, kNone},
        {"empty pattern", "name", 0, "", 32, kNone},
        {"case-sensitive", "NAME", 0, "name", 32, kNone},
        {"overlapping candidates", "aaab", 0, "aab", 32, 4},
        {"last byte seen before a match", "bxab", 0, "ab", 32, 4},
        {"binary bytes", std::string("\0\r\n\xFF\r\n", 6), 0, "\xFF\r\n", 32, 6},
        {"empty body", "", 0, "a", 32, kNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes body(row.body);
        EXPECT_EQ(BoundedFind(body.View(), row.start, row.pattern, row.window), row.want);
    }
}

TEST(FormDataSearches, FindChar) {
    struct Row {
        const char* name;
        std::string body;
        std::size_t start;
        std::size_t want;
    };
    const std::vector<Row> rows = {
        {"at offset 0", "\"abc", 0, 0},
        {"at offset 5", "=    \"", 0, 5},
        {"at offset 6 is out of reach", "=     \"", 0, kNone},
        {"from a later start", "\"=    \"", 1, 6},
        {"first of two", "=\"\"", 0, 1},
        {"reach cut at the end", "==", 0, kNone},
        {"last byte of the body", "===\"", 1, 3},
        {"start at the end", "\"", 1, kNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes body(row.body);
        EXPECT_EQ(FindChar(body.View(), row.start, '"'), row.want);
    }
}

TEST(FormDataSearches, ReadQuoted) {
    struct Row {
        const char* name;
        std::string text;    // the opening quote at offset 0
        bool doubleBytes;
        std::size_t want;    // the closing quote's offset, or kNone
        std::string value;
    };
    const std::vector<Row> rows = {
        {"plain", "\"abc\"", false, 4, "abc"},
        {"empty", "\"\"", false, 1, ""},
        {"escaped quote", "\"a\\\"b\"", false, 5, "a\"b"},
        {"escaped backslash", "\"a\\\\\"", false, 4, "a\\"},
        {"other backslashes kept", "\"D:\\u\\x\"", false, 7, "D:\\u\\x"},
        {"a browser's backslash before the closing quote", "\"dir\\\"; x", false, 5, "dir\\"},
        {"no closing quote", "\"abc", false, kNone, "abc"},
        {"nothing after the quote", "\"", false, kNone, ""},
        {"a GBK second byte 0x5C is no escape", "\"\x95\x5C\"", true, 3, "\x95\x5C"},
        {"read as bytes, the same is an escape", "\"\x95\x5C\"\"", false, 4, "\x95\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes text(row.text);
        std::string value;
        EXPECT_EQ(ReadQuoted(text.View(), 0, row.doubleBytes, value), row.want);
        EXPECT_EQ(value, row.value);
    }
}

struct Expected {
    std::string name;
    bool isFile;
    std::string fileName;
    std::string data;
};

// The records, walked in list order, against the expected fields.
void ExpectFields(const ParsedBody& body, const std::vector<Expected>& want) {
    ASSERT_TRUE(body.Parsed());
    ASSERT_EQ(body.parser.FieldCount(), static_cast<std::int32_t>(want.size()));
    const FormField* field = body.parser.First();
    for (const Expected& w : want) {
        ASSERT_NE(field, nullptr);
        SCOPED_TRACE("field " + w.name);
        EXPECT_EQ(std::string(field->fieldName), w.name);
        EXPECT_EQ(field->isFile, w.isFile ? 1 : 0);
        EXPECT_EQ(std::string(field->fileName), w.fileName);
        FieldText data{field->dataStart, field->dataLength};
        EXPECT_TRUE(body.InBody(data));
        EXPECT_EQ(body.Text(data), w.data);
        field = field->nextField.get();
    }
    EXPECT_EQ(field, nullptr);
}

const std::string kPlainA = "Content-Disposition: form-data; name=\"a\"\r\n\r\n";
const std::string kFileF = "Content-Disposition: form-data; name=\"f\"; filename=\"y.txt\"\r\n\r\n";

struct BodyRow {
    const char* name;
    std::string body;
    std::vector<Expected> fields;
};

TEST(FormDataParserBodies, EdgeCases) {
    const std::vector<BodyRow> rows = {
        {"one plain field", "--B\r\n" + kPlainA + "xyz\r\n--B--\r\n", {{"a", false, "", "xyz"}}},
        {"file part with its own Content-Type",
         "--B\r\nContent-Disposition: form-data; name=\"f1\"; filename=\"D:\\up\\x.txt\"\r\n"
         "Content-Type: text/plain\r\n\r\nline 1\r\nline 2\r\n\r\n--B--\r\n",
         {{"f1", true, "D:\\up\\x.txt", "line 1\r\nline 2\r\n"}}},
        {"empty file name",
         "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"\"\r\n\r\n\r\n--B--\r\n",
         {{"f", true, "", ""}}},
        {"empty text field", "--B\r\n" + kPlainA + "\r\n--B--\r\n", {{"a", false, "", ""}}},
        {"two fields of one name",
         "--B\r\n" + kPlainA + "1\r\n--B\r\n" + kPlainA + "2\r\n--B--\r\n",
         {{"a", false, "", "1"}, {"a", false, "", "2"}}},
        {"value with NUL, CR and LF",
         "--B\r\n" + kPlainA + std::string("a\0b\rc\nd\r\n\r", 11) + "\r\n--B--\r\n",
         {{"a", false, "", std::string("a\0b\rc\nd\r\n\r", 11)}}},
        {"value beginning with a semicolon",
         "--B\r\n" + kPlainA + ";-) lunch?\r\n--B\r\n" + kFileF + "w\r\n--B--\r\n",
         {{"a", false, "", ";-) lunch?"}, {"f", true, "y.txt", "w"}}},
        {"a name holding \"; filename\" is a name",
         "--B\r\nContent-Disposition: form-data; name=\"a; filename=\"\r\n\r\nv\r\n--B--", {{"a; filename=", false, "", "v"}}},
        {"a value naming a filename is data",
         "--B\r\n" + kPlainA + "; filename=\"evil\"\r\n--B--\r\n", {{"a", false, "", "; filename=\"evil\""}}},
        {"filename before name",
         "--B\r\nContent-Disposition: form-data; filename=\"x.txt\"; name=\"f\"\r\n\r\ndata\r\n--B--\r\n",
         {{"f", true, "x.txt", "data"}}},
        {"escaped quotes in the file name",
         "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"say \\\"hi\\\".txt\"\r\n\r\nd\r\n--B--",
         {{"f", true, "say \"hi\".txt", "d"}}},
        {"a browser's %22 stays as sent",
         "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"say %22hi%22.txt\"\r\n\r\nd\r\n--B--",
         {{"f", true, "say %22hi%22.txt", "d"}}},
        {"other letter case skips that part",
         "--B\r\n" + kPlainA + "1\r\n--B\r\ncontent-disposition: form-data; name=\"b\"\r\n\r\n2\r\n--B\r\n" + kFileF +
             "3\r\n--B--\r\n",
         {{"a", false, "", "1"}, {"f", true, "y.txt", "3"}}},
        {"unquoted name skips that part",
         "--B\r\nContent-Disposition: form-data; name=a\r\n\r\nx\r\n--B\r\n" + kPlainA + "y\r\n--B--\r\n",
         {{"a", false, "", "y"}}},
        {"first header not Content-Disposition skips that part",
         "--B\r\nContent-Type: text/plain\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--B\r\n" + kFileF +
             "y\r\n--B--\r\n",
         {{"f", true, "y.txt", "y"}}},
        {"no blank line before the delimiter skips that part",
         "--B\r\nContent-Disposition: form-data; name=\"a\"\r\nx\r\n--B\r\n" + kFileF + "y\r\n--B--\r\n",
         {{"f", true, "y.txt", "y"}}},
        {"unquoted file name skips that part",
         "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=x\r\n\r\nx\r\n--B\r\n" + kPlainA + "y\r\n--B--",
         {{"a", false, "", "y"}}},
        {"empty body", "", {}},
        {"LF line ends", "--B\nContent-Disposition: form-data; name=\"a\"\n\nxyz\n--B--\n", {}},
        {"URL-encoded form", "From=a%40b&To=c%40d&Subject=hi", {}},
        {"ends after a delimiter line", "--B\r\n" + kPlainA + "x\r\n--B\r\n", {{"a", false, "", "x"}}},
        {"ends right after the delimiter bytes", "--B\r\n" + kPlainA + "x\r\n--B", {{"a", false, "", "x"}}},
        {"only the delimiter line", "--B\r\n", {}},
        {"only the delimiter and its CR", "--B\r", {}},
        {"close delimiter hides later parts",
         "--B\r\n" + kPlainA + "1\r\n--B--\r\n" + kPlainA + "2\r\n--B--\r\n", {{"a", false, "", "1"}}},
        {"no blank line before the end", "--B\r\nContent-Disposition: form-data; name=\"a\"\r\nxyz", {{"a", false, "", ""}}},
        {"no delimiter after the part", "--B\r\n" + kPlainA + "xyz\r\n", {{"a", false, "", ""}}},
        {"the delimiter inside a line is no delimiter",
         "--B\r\nContent-Disposition: form-data; name=\"x--B\"\r\n\r\nv\r\n--B\r\n" + kFileF +
             "a line with --B inside\r\n--BX starts a line\r\n--B--\r\n",
         {{"x--B", false, "", "v"}, {"f", true, "y.txt", "a line with --B inside\r\n--BX starts a line"}}},
        {"blanks after a delimiter", "--B \t\r\n" + kPlainA + "x\r\n--B  \r\n" + kPlainA + "y\r\n--B--",
         {{"a", false, "", "x"}, {"a", false, "", "y"}}},
        {"a GBK name whose last byte is 0x5C",
         "--B\r\nContent-Disposition: form-data; name=\"\xD5\x5C\"; filename=\"C:\\\xB1\xA8\x95\x5C\\a\x95\x5C\"\r\n\r\nd\r\n--B--",
         {{"\xD5\x5C", true, "C:\\\xB1\xA8\x95\x5C\\a\x95\x5C", "d"}}},
        {"delimiter right after the blank line", "--B\r\n" + kPlainA + "--B--\r\n", {{"a", false, "", ""}}},
        {"data without the CR LF before the delimiter", "--B\r\n" + kPlainA + "xy--B--", {{"a", false, "", ""}}},
        {"empty delimiter is never found", "\r\n" + kPlainA + "xyz\r\n\r\n", {{"a", false, "", ""}}},
        {"no closing quote", "--B\r\nContent-Disposition: form-data; name=\"abc", {}},
        {"no closing quote on the line",
         "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x.t\r\n\r\n\"\r\n--B--", {}},
    };
    for (const BodyRow& row : rows) {
        SCOPED_TRACE(row.name);
        ParsedBody body(row.body);
        ExpectFields(body, row.fields);
    }
}

std::string Padded(std::size_t count) { return std::string(count, ' '); }

// The fixed reaches of the header searches, each just inside and just past
// its limit.
TEST(FormDataParserBodies, HeaderSearchReaches) {
    const std::vector<BodyRow> rows = {
        {"Content-Disposition ends at byte 32", "--B\r\n" + Padded(13) + kPlainA + "x\r\n--B--",
         {{"a", false, "", "x"}}},
        {"Content-Disposition ends at byte 33", "--B\r\n" + Padded(14) + kPlainA + "x\r\n--B--", {}},
        {"form-data within 32 bytes",
         "--B\r\nContent-Disposition:" + Padded(22) + "form-data; name=\"a\"\r\n\r\nx\r\n--B--",
         {{"a", false, "", "x"}}},
        {"form-data past 32 bytes",
         "--B\r\nContent-Disposition:" + Padded(23) + "form-data; name=\"a\"\r\n\r\nx\r\n--B--", {}},
        {"name within 32 bytes", "--B\r\nContent-Disposition: form-data;" + Padded(27) + "name=\"a\"\r\n\r\nx\r\n--B--",
         {{"a", false, "", "x"}}},
        {"name past 32 bytes", "--B\r\nContent-Disposition: form-data;" + Padded(28) + "name=\"a\"\r\n\r\nx\r\n--B--", {}},
        {"opening quote at the sixth byte",
         "--B\r\nContent-Disposition: form-data; name" + Padded(5) + "\"a\"\r\n\r\nx\r\n--B--",
         {{"a", false, "", "x"}}},
        {"opening quote at the seventh byte",
         "--B\r\nContent-Disposition: form-data; name" + Padded(6) + "\"a\"\r\n\r\nx\r\n--B--", {}},
        {"filename anywhere further along the line",
         "--B\r\nContent-Disposition: form-data; name=\"f\"" + Padded(40) + ";" + Padded(40) + "filename=\"y\"\r\n\r\nx\r\n--B--",
         {{"f", true, "y", "x"}}},
        {"filename without its semicolon is no parameter",
         "--B\r\nContent-Disposition: form-data; name=\"f\" filename=\"y\"\r\n\r\nx\r\n--B--",
         {{"f", false, "", "x"}}},
        {"filename on the next header line is no parameter",
         "--B\r\nContent-Disposition: form-data; name=\"f\"\r\nX-Note: a; filename=\"y\"\r\n\r\nx\r\n--B--",
         {{"f", false, "", "x"}}},
        {"second part's window starts with the line end",
         "--B\r\n" + kPlainA + "1\r\n--B\r\n" + Padded(11) + kPlainA + "2\r\n--B--",
         {{"a", false, "", "1"}, {"a", false, "", "2"}}},
        {"second part's window, one byte too far",
         "--B\r\n" + kPlainA + "1\r\n--B\r\n" + Padded(12) + kPlainA + "2\r\n--B--", {{"a", false, "", "1"}}},
    };
    for (const BodyRow& row : rows) {
        SCOPED_TRACE(row.name);
        ParsedBody body(row.body);
        ExpectFields(body, row.fields);
    }
}

TEST(FormDataParserBodies, DelimiterLineLimit) {
    const std::string longest = "--" + std::string(kDelimiterSlot - 3, 'd');   // 127 bytes
    ASSERT_EQ(longest.size(), kDelimiterSlot - 1);
    ParsedBody fits(longest + "\r\n" + kPlainA + "x\r\n" + longest + "--\r\n");
    ExpectFields(fits, {{"a", false, "", "x"}});

    const std::string tooLong = longest + "d";
    ParsedBody refused(tooLong + "\r\n" + kPlainA + "x\r\n" + tooLong + "--\r\n");
    ExpectFields(refused, {});
}

using test::Times;

TEST(FormDataParserBodies, LongFileNamesKeepTheirNameAndExtension) {
    const std::string gbk = Times("\xB1\xA8", 130) + ".doc";   // 264 bytes
    const std::string utf8 = Times("\xE4\xB8\xAD", 90) + ".txt";
    struct Row { const char* name; std::string sent, kept; } rows[] = {
        {"a long path gives way to the name", "C:\\" + std::string(300, 'p') + "\\report.doc", "report.doc"},
        {"GBK name cut between characters", gbk, Times("\xB1\xA8", 125) + ".doc"},
        {"UTF-8 name cut between characters", utf8, Times("\xE4\xB8\xAD", 83) + ".txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ParsedBody body("--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"" + row.sent + "\"\r\n\r\nx\r\n--B--");
        ExpectFields(body, {{"f", true, row.kept, "x"}});
    }
}

TEST(FormDataParserBodies, LongNamesAreCutToTheirSlots) {
    const std::string name(100, 'n');
    const std::string fileName = "C:\\" + std::string(300, 'f') + ".bin";
    ParsedBody body("--B\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
                    "\"\r\n\r\nDATA\r\n--B\r\n" + kPlainA + "after\r\n--B--\r\n");
    ExpectFields(body, {{name.substr(0, kFieldNameSlot - 1), true, std::string(251, 'f') + ".bin", "DATA"},
                        {"a", false, "", "after"}});
}

// Bodies laid out as current browsers send them.
const std::string kChromiumDelimiter = "------WebKitFormBoundaryx7YpKq2Lm9TzR4bW";
const std::string kFirefoxDelimiter = "-----------------------------41184676334";

std::string ChromiumBody() {
    const std::string& d = kChromiumDelimiter;
    return d + "\r\nContent-Disposition: form-data; name=\"From\"\r\n\r\nalice@example.com\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"To\"\r\n\r\nbob@example.com\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"Subject\"\r\n\r\nMinutes\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"Body\"\r\n\r\nSee attached.\r\n-- \r\nAlice\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"minutes.txt\"\r\n"
               "Content-Type: text/plain\r\n\r\n1. Opening\r\n2. Budget\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
               "Content-Type: application/octet-stream\r\n\r\n\r\n" +
           d + "--\r\n";
}

std::string FirefoxBody() {
    const std::string& d = kFirefoxDelimiter;
    return d + "\r\nContent-Disposition: form-data; name=\"To\"\r\n\r\nbob@example.com\r\n" +
           d + "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"dot.png\"\r\n"
               "Content-Type: image/png\r\n\r\n" + std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + "\r\n" +
           d + "--\r\n";
}

TEST(FormDataParserBrowsers, ChromiumForm) {
    ParsedBody body(ChromiumBody());
    ExpectFields(body, {{"From", false, "", "alice@example.com"},
                        {"To", false, "", "bob@example.com"},
                        {"Subject", false, "", "Minutes"},
                        {"Body", false, "", "See attached.\r\n-- \r\nAlice"},
                        {"file1", true, "minutes.txt", "1. Opening\r\n2. Budget"},
                        {"file2", true, "", ""}});
}

TEST(FormDataParserBrowsers, FirefoxForm) {
    ParsedBody body(FirefoxBody());
    ExpectFields(body, {{"To", false, "", "bob@example.com"},
                        {"photo", true, "dot.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)}});
}

TEST(FormDataParserLookups, ByName) {
    ParsedBody body(ChromiumBody());
    const FormDataParser& p = body.parser;
    struct Row {
        const char* name;
        bool isFile;
        std::string value;   // a file field's value is its file name
    };
    const std::vector<Row> rows = {
        {"From", false, "alice@example.com"}, {"Body", false, "See attached.\r\n-- \r\nAlice"},
        {"file1", true, "minutes.txt"},        {"file2", true, ""},
        {"from", false, ""},                    {"Missing", false, ""},
        {"", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(p.FieldIsFile(row.name), row.isFile);
        FieldText value = p.FieldValue(row.name);
        EXPECT_EQ(body.Text(value), row.value);
    }
    FieldText file = p.FileData("file1", "minutes.txt");
    EXPECT_TRUE(body.InBody(file));
    EXPECT_EQ(body.Text(file), "1. Opening\r\n2. Budget");
    EXPECT_EQ(p.FileData("file1", "MINUTES.TXT").length, 0);
    EXPECT_EQ(p.FileData("file2", "minutes.txt").length, 0);
    EXPECT_EQ(p.FileData("file2", "").length, 0);
    EXPECT_EQ(p.FileData("Missing", "").length, 0);
}

TEST(FormDataParserLookups, ByIndex) {
    ParsedBody body(ChromiumBody());
    const FormDataParser& p = body.parser;
    const std::vector<std::string> names = {"From", "To", "Subject", "Body", "file1", "file2"};
    ASSERT_EQ(p.FieldCount(), static_cast<std::int32_t>(names.size()));
    for (std::int32_t i = 0; i < p.FieldCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(body.Text(p.NameAt(i)), names[i]);
        EXPECT_EQ(body.Text(p.ValueAt(i)), body.Text(p.FieldValue(names[i])));
    }
    for (std::int32_t outside : {-1, -2147483647 - 1, 6, 7, 2147483647}) {
        SCOPED_TRACE(outside);
        EXPECT_EQ(p.ValueAt(outside).length, 0);
        EXPECT_EQ(p.NameAt(outside).length, 0);
    }
}

TEST(FormDataParserLookups, SameNameTwice) {
    ParsedBody body("--B\r\n" + kPlainA + "first\r\n--B\r\n" + kPlainA + "second\r\n--B--\r\n");
    const FormDataParser& p = body.parser;
    EXPECT_EQ(body.Text(p.FieldValue("a")), "first");
    EXPECT_EQ(body.Text(p.ValueAt(0)), "first");
    EXPECT_EQ(body.Text(p.ValueAt(1)), "second");
    EXPECT_EQ(body.Text(p.NameAt(1)), "a");
}

TEST(FormDataParserLookups, NothingParsedAnswersAsMissing) {
    FormDataParser fresh;
    EXPECT_EQ(fresh.FieldCount(), 0);
    EXPECT_FALSE(fresh.FieldIsFile("a"));
    EXPECT_EQ(fresh.FieldValue("a").length, 0);
    EXPECT_EQ(fresh.ValueAt(0).length, 0);
    EXPECT_EQ(fresh.NameAt(0).length, 0);
    EXPECT_TRUE(fresh.Parse(nullptr, 10));
    EXPECT_TRUE(fresh.Parse("--B\r\n", -5));
    EXPECT_EQ(fresh.FieldCount(), 0);
}

TEST(FormDataParserLookups, ParsingAgainReplacesTheList) {
    const std::string first = ChromiumBody();
    const std::string second = "--B\r\n" + kPlainA + "x\r\n--B--";
    FormDataParser p;
    ASSERT_TRUE(p.Parse(first.data(), static_cast<std::int32_t>(first.size())));
    ASSERT_TRUE(p.Parse(second.data(), static_cast<std::int32_t>(second.size())));
    EXPECT_EQ(p.FieldCount(), 1);
    EXPECT_EQ(p.FieldValue("From").length, 0);
    EXPECT_EQ(std::string(p.FieldValue("a").data, 1), "x");
}

TEST(FormDataParserLimits, KeepsTheFirstThousandFields) {
    // Fields "f0", "f1", ... each holding its own number, far past the limit.
    constexpr int kParts = 200000;
    std::string bodyText;
    for (int i = 0; i < kParts; ++i)
        bodyText += "--B\r\nContent-Disposition: form-data; name=\"f" + std::to_string(i) + "\"\r\n\r\n" +
                    std::to_string(i) + "\r\n";
    bodyText += "--B--\r\n";
    ParsedBody body(bodyText);
    const FormDataParser& p = body.parser;
    ASSERT_EQ(p.FieldCount(), kMaxFormFields);
    for (std::int32_t i = 0; i < kMaxFormFields + 10; ++i) {
        SCOPED_TRACE(i);
        const bool kept = i < kMaxFormFields;
        const std::string name = "f" + std::to_string(i);
        const std::string value = kept ? std::to_string(i) : "";
        EXPECT_EQ(body.Text(p.NameAt(i)), kept ? name : "");
        EXPECT_EQ(body.Text(p.ValueAt(i)), value);
        EXPECT_EQ(body.Text(p.FieldValue(name)), value);
    }
}

std::vector<const FormField*> Records(const FormDataParser& parser) {
    std::vector<const FormField*> records;
    for (const FormField* f = parser.First(); f != nullptr; f = f->nextField.get()) records.push_back(f);
    return records;
}

// Every prefix of a valid body, each in its own exactly sized buffer: the
// parse stays inside it, and whatever it reads agrees with the whole body.
TEST(FormDataParserLimits, EveryTruncatedBodyStaysInside) {
    for (const std::string& whole : {ChromiumBody(), FirefoxBody()}) {
        ParsedBody full(whole);
        const std::vector<const FormField*> fullRecords = Records(full.parser);
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            SCOPED_TRACE(length);
            ParsedBody cut(whole.substr(0, length));
            ASSERT_TRUE(cut.Parsed());
            const FormDataParser& p = cut.parser;
            const std::vector<const FormField*> records = Records(p);
            ASSERT_EQ(static_cast<std::int32_t>(records.size()), p.FieldCount());
            // Cut just before the close delimiter's "--", the body ends
            // after a plain delimiter, which leaves one more, empty record.
            ASSERT_LE(records.size(), fullRecords.size() + 1);
            for (std::size_t i = 0; i < records.size(); ++i) {
                const FormField& f = *records[i];
                ASSERT_LT(std::strlen(f.fieldName), kFieldNameSlot);
                ASSERT_LT(std::strlen(f.fileName), kFileNameSlot);
                if (i == fullRecords.size()) {
                    EXPECT_STREQ(f.fieldName, "");
                    EXPECT_EQ(f.dataLength, 0);
                    continue;
                }
                const FormField& w = *fullRecords[i];
                // A name read in full matches; one cut by the end is a prefix.
                EXPECT_EQ(std::string(w.fieldName).rfind(f.fieldName, 0), 0u);
                if (f.isFile) {
                    EXPECT_STREQ(f.fileName, w.fileName);
                }
                // Data are only kept once the delimiter after them is in.
                FieldText data{f.dataStart, f.dataLength};
                ASSERT_TRUE(cut.InBody(data));
                if (data.length > 0) {
                    EXPECT_EQ(cut.Text(data), full.Text(FieldText{w.dataStart, w.dataLength}));
                }
            }
            for (std::int32_t i = -1; i <= p.FieldCount(); ++i) {
                FieldText value = p.ValueAt(i);
                bool isFileName = i >= 0 && i < p.FieldCount() && value.data == records[i]->fileName;
                EXPECT_TRUE(cut.InBody(value) || isFileName);
                EXPECT_EQ(cut.Text(p.NameAt(i)), i >= 0 && i < p.FieldCount() ? records[i]->fieldName : "");
            }
            EXPECT_TRUE(cut.InBody(p.FileData("file1", "minutes.txt")));
            EXPECT_TRUE(cut.InBody(p.FileData("photo", "dot.png")));
            cut.Text(p.FieldValue("To"));
        }
    }
}

}  // namespace
}  // namespace tarnwick::upload
