// Message composer: recipients, the header block, the boundary, the Date
// value, and whole written messages compared byte for byte with texts put
// together by hand.
#include "sendmail/MultipartMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mime/Codecs.h"
#include "sendmail/MessageText.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::sendmail {
namespace {

using namespace std::string_literals;
using test::ScratchDir;
using test::WriteFile;

// 2001-03-05 07:08:09 UTC, a Monday.
std::time_t FixedTime() { return 983776089; }

// Sets the process time zone for one test.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (old_) setenv("TZ", old_->c_str(), 1); else unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

// The message's bytes as WriteTo writes them, dated date.
std::string Written(const MultipartMessage& m, std::time_t date = FixedTime()) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return {};
    m.WriteTo(f, date);
    std::string bytes(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

// The header lines of the written message, without the empty line after them.
std::string HeaderLines(const MultipartMessage& m, std::time_t date = FixedTime()) {
    const std::string bytes = Written(m, date);
    return bytes.substr(0, bytes.find("\r\n\r\n") + 2);
}

using test::Times;

const std::string kHead =
    "From: ann@example.com\r\n"
    "To: <bob@example.com>\r\n"
    "Date: Mon, 05 Mar 2001 07:08:09 +0000\r\n"
    "Subject: Hello\r\n"
    "X-Mailer: Quorbel Post\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n"
    "\r\n";
const std::string kPre = "This is a multi-part message in MIME format.\r\n\r\n";
const std::string kB = "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n";
const std::string kClose = "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119--\r\n";
const std::string kEnd = "\r\n.\r\n";
const std::string kText = "Content-Type: text/plain; charset=GBK\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
std::string AttachmentHead(const std::string& quoted) {
    return "Content-Type: application/octet-stream; file=\"" + quoted +
           "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + quoted +
           "\"\r\n\r\n";
}
const std::string k54 = Times("abc", 18);   // "abc" is "YWJj"
const std::string k54Base64 = Times("YWJj", 18) + "\r\n";

class MultipartMessageTest : public ::testing::Test {
protected:
    ZoneScope zone{"UTC0"};

    struct Attachment {
        std::string name;
        std::string content;
    };

    void Fill(MultipartMessage& m, const std::string& body, const std::vector<Attachment>& files) {
        m.SetFrom("ann@example.com");
        m.ParseRecipients("bob@example.com");
        m.SetSubject("Hello");
        m.SetBody(body);
        for (const Attachment& a : files) m.AddAttachment(a.name, kept_.emplace_back(a.content));
    }

private:
    std::deque<std::string> kept_;   // the attachments' bytes, alive until the test ends
};

TEST_F(MultipartMessageTest, WholeMessages) {
    const std::string words100 =
        "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhhhhhhh iiiiiiiii jjjjjjjjjj";
    struct Row { const char* name; std::string body; std::vector<Attachment> files; std::string expected; };
    const Row rows[] = {
        {"empty body, no attachment: an empty text part", "", {}, kPre + kB + kText + "\r\n" + kClose},
        {"white space only", " \t\r\n \r\n", {}, kPre + kB + kText + "\r\n" + kClose},
        {"text trimmed", "  Hello Bob,\r\n\r\nsee you.\r\n  ", {},
         kPre + kB + kText + "Hello Bob,\r\n\r\nsee you.\r\n" + kClose},
        {"100-byte line wrapped", words100, {},
         kPre + kB + kText +
             "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg\r\n"
             "hhhhhhhhh iiiiiiiii jjjjjjjjjj\r\n" + kClose},
        {"54 bytes: full line, then an empty line", "", {{"a.bin", k54}},
         kPre + kB + AttachmentHead("a.bin") + k54Base64 + "\r\n" + kClose},
        {"55 bytes: full line and a padded one", "", {{"a.bin", k54 + "a"}},
         kPre + kB + AttachmentHead("a.bin") + k54Base64 + "YQ==\r\n" + kClose},
        {"text goes first, files in order", "See files.", {{"one.txt", k54}, {"two.dat", "abc"}},
         kPre + kB + kText + "See files.\r\n" + kB + AttachmentHead("one.txt") + k54Base64 + "\r\n" + kB +
             AttachmentHead("two.dat") + "YWJj\r\n" + kClose},
        {"zero bytes are data", "", {{"z", "\0\0\0\0"s}},
         kPre + kB + AttachmentHead("z") + "AAAAAA==\r\n" + kClose},
        {"two attachments of one name", "", {{"a.bin", "abc"}, {"a.bin", "abd"}},
         kPre + kB + AttachmentHead("a.bin") + "YWJj\r\n" + kB + AttachmentHead("a.bin") + "YWJk\r\n" + kClose},
        {"names quoted, quote and backslash escaped", "",
         {{"my report; v2 (final).txt", "abc"}, {"a,b \"c\"\\d\r\n.txt", "abc"}},
         kPre + kB + AttachmentHead("my report; v2 (final).txt") + "YWJj\r\n" + kB +
             AttachmentHead("a,b \\\"c\\\"\\\\d__.txt") + "YWJj\r\n" + kClose},
        {"GBK text is 8bit", "\xc4\xe3\xba\xc3", {},
         kPre + kB + "Content-Type: text/plain; charset=GBK\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                     "\xc4\xe3\xba\xc3\r\n" + kClose},
        {"lines beginning with a dot are stuffed", ".x\r\n.\r\na.b\r\n..", {{"a.bin", "abc"}},
         kPre + kB + kText + "..x\r\n..\r\na.b\r\n...\r\n" + kB + AttachmentHead("a.bin") + "YWJj\r\n" + kClose},
        {"lone LF and CR end lines", "a\nb\r.c", {}, kPre + kB + kText + "a\r\nb\r\n..c\r\n" + kClose},
        {"so is a line that wrapping begins", Times("a", 70) + " .bbbbbb", {},
         kPre + kB + kText + Times("a", 70) + "\r\n..bbbbbb\r\n" + kClose},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MultipartMessage written;
        Fill(written, row.body, row.files);
        EXPECT_EQ(Written(written), kHead + row.expected + kEnd);
    }
}

TEST_F(MultipartMessageTest, HeaderBlockCopiesValuesUnchanged) {
    MultipartMessage m;
    m.SetFrom("Ann <ann@example.com>");
    EXPECT_TRUE(m.ParseRecipients("ann;Bob Lee <bob@x>"));
    m.SetSubject("Hi \xc4\xe3\xba\xc3");
    EXPECT_EQ(HeaderLines(m) + "\r\n",
              "From: Ann <ann@example.com>\r\nTo: <ann>,Bob Lee <bob@x>\r\n"
              "Date: Mon, 05 Mar 2001 07:08:09 +0000\r\nSubject: Hi \xc4\xe3\xba\xc3\r\n"
              "X-Mailer: Quorbel Post\r\nMIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n\r\n");
}

TEST_F(MultipartMessageTest, LineBreaksInHeaderValuesBecomeSpaces) {
    MultipartMessage m;
    m.SetFrom("me\r\nBcc: x@127.0.0.1\x1b[2J\x7f\t");
    m.ParseRecipients("Ann\r\n<ann\n@x>;bob@y\rBcc: z@127.0.0.1");
    m.SetSubject("Hi\n\r\n\xc4\xe3");
    EXPECT_EQ(HeaderLines(m),
              "From: me  Bcc: x@127.0.0.1 [2J \t\r\nTo: Ann  <ann @x>,<bob@y Bcc: z@127.0.0.1>\r\n"
              "Date: Mon, 05 Mar 2001 07:08:09 +0000\r\nSubject: Hi   \xc4\xe3\r\n"
              "X-Mailer: Quorbel Post\r\nMIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n");
}

TEST_F(MultipartMessageTest, TextHoldingTheBoundaryGetsAnotherOne) {
    const std::string forged = "a\r\n--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n" + AttachmentHead("x.exe") + "TVo=";
    const std::string b = "--QUORBEL_POST_BYE_TEMWARDOSSEN_2000111190";
    const std::string expected = kPre + b + "\r\n" + kText + forged + "\r\n" + b + "\r\n" + AttachmentHead("a.bin") +
                                 "YWJj\r\n" + b + "--\r\n";
    MultipartMessage written;
    Fill(written, forged, {{"a.bin", "abc"}});
    EXPECT_EQ(Written(written), kHead.substr(0, kHead.size() - 4) + "0\r\n\r\n" + expected + kEnd);
}

// No line of a message passes 998 bytes: a long To is folded after a comma,
// a long run of text without blanks goes quoted-printable.
TEST_F(MultipartMessageTest, NoLineIsOver998Bytes) {
    std::string to, toLine = "To: ";
    for (int i = 0; i < 60; ++i) {
        const std::string address = "recipient" + std::to_string(i) + "@example.com";
        to += (i ? "," : "") + address;
        toLine += (i ? ",<" : "<") + address + ">";
    }
    const std::string text = "Chinese without blanks: " + Times("\xd6\xd0", 700) + "\r\n.\r\nend";
    MultipartMessage m;
    m.ParseRecipients(to);
    m.SetBody(text);
    const std::string written = Written(m);
    for (std::size_t begin = 0, end; begin < written.size(); begin = end + 2) {
        end = written.find("\r\n", begin);
        ASSERT_LE(end - begin, 998u);
    }
    // Unfolded, the To line is the one line it would have been.
    const std::size_t toAt = written.find("To: ");
    std::string folded = written.substr(toAt, written.find("\r\nDate: ") - toAt);
    ASSERT_NE(folded.find(",\r\n <"), std::string::npos);
    for (std::size_t at; (at = folded.find("\r\n ")) != std::string::npos;) folded.erase(at, 3);
    EXPECT_EQ(folded, toLine);

    const std::string head = "Content-Type: text/plain; charset=GBK\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    const std::size_t bodyAt = written.find(head);
    ASSERT_NE(bodyAt, std::string::npos);
    const std::size_t begin = bodyAt + head.size();
    const std::size_t end = written.find("\r\n--" + std::string(kBoundary) + "--");
    std::string decoded(end - begin, '\0');
    decoded.resize(mime::QuotedPrintableDecodeRange(written.data() + begin, written.data() + end, decoded.data()));
    EXPECT_EQ(decoded, "Chinese without blanks:\r\n" + Times("\xd6\xd0", 700) + "\r\n.\r\nend");   // wrapped at the blank
}

TEST(MultipartMessageBoundary, OccursInNoTextThatHoldsTheFixedOne) {
    const std::string k = kBoundary;
    struct Row { std::vector<std::string> texts; std::string boundary; } rows[] = {
        {{}, k},
        {{"plain", "QUORBEL_POST_BYE_TEMWARDOSSEN_20001111 9"}, k},
        {{"--" + k + "\r\n"}, k + "0"},
        {{k + "0", "x" + k + "1 " + k + "2;"}, k + "3"},
        {{k + "0" + k + "1" + k + "2" + k + "3" + k + "4" + k + "5" + k + "6" + k + "7" + k + "8" + k + "9"}, k + "00"},
        // The digit fewest runs go on with: after "1" only "1" itself is left.
        {{k + "00 " + k + "01 " + k + "1 " + k + "2 " + k + "3 " + k + "4 " + k + "5 " + k + "6 " + k + "7 " + k + "8 " +
          k + "9 " + k + "99"}, k + "10"},
    };
    for (const Row& row : rows) {
        const std::vector<std::string_view> texts(row.texts.begin(), row.texts.end());
        EXPECT_EQ(BoundaryAvoiding(texts), row.boundary) << row.boundary;
    }
}

TEST(MultipartMessageBoundary, HostileTextStillGetsAShortOne) {
    // The fixed boundary followed by every digit string of one to four
    // digits: any boundary with four digits or fewer is taken.
    std::string text;
    for (int width = 1, limit = 10; width <= 4; ++width, limit *= 10)
        for (int n = 0; n < limit; ++n) text += "--" + std::string(kBoundary) + std::to_string(limit + n).substr(1) + "\r\n";
    const std::string boundary = BoundaryAvoiding({text});
    EXPECT_EQ(boundary.rfind(kBoundary, 0), 0u);
    EXPECT_EQ(boundary.size(), sizeof kBoundary - 1 + 5);
    EXPECT_EQ(text.find(boundary), std::string::npos);
}

TEST(MultipartMessageRecipients, ParseAndToLine) {
    struct Row { const char* to; bool ok; std::vector<Recipient> parsed; const char* line; } rows[] = {
        {"ann;bob", true, {{"ann", ""}, {"bob", ""}}, "To: <ann>,<bob>"},
        {"Ann Lee <ann>", true, {{"ann", "Ann Lee "}}, "To: Ann Lee <ann>"},
        {"ann;", true, {{"ann", ""}}, "To: <ann>"},
        {"ann, ,;bob", true, {{"ann", ""}, {"bob", ""}}, "To: <ann>,<bob>"},
        {"x <y", false, {}, "To: "},
        {"ann; bob,ann", true, {{"ann", ""}, {" bob", ""}, {"ann", ""}}, "To: <ann>,< bob>,<ann>"},
        {"", true, {}, "To: "},
        {"a <b> tail", true, {{"b", "a "}}, "To: a <b>"},
        {"ann;x <y;bob", false, {{"ann", ""}}, "To: <ann>"},
        {"a>b<c>", false, {}, "To: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        MultipartMessage m;
        EXPECT_EQ(m.ParseRecipients(row.to), row.ok);
        ASSERT_EQ(m.RecipientCount(), static_cast<long>(row.parsed.size()));
        for (long i = 0; i < m.RecipientCount(); ++i) {
            std::string address, name;
            EXPECT_TRUE(m.GetRecipient(i, address, name));
            EXPECT_EQ(address, row.parsed[i].address);
            EXPECT_EQ(name, row.parsed[i].displayName);
        }
        const std::string header = HeaderLines(m);   // "From: \r\n" comes first
        const std::size_t to = header.find("\r\n") + 2;
        EXPECT_EQ(header.substr(to, header.find("\r\n", to) - to), row.line);
    }
}

TEST(MultipartMessageRecipients, OutOfRangeLeavesOutputsUntouched) {
    MultipartMessage m;
    m.ParseRecipients("A <a@x>");
    std::string address = "keep", name = "keep";
    EXPECT_FALSE(m.GetRecipient(-1, address, name));
    EXPECT_FALSE(m.GetRecipient(1, address, name));
    EXPECT_EQ(address + name, "keepkeep");
    EXPECT_TRUE(m.GetRecipient(0, address, name));
    EXPECT_EQ(address + "|" + name, "a@x|A ");
}

TEST(MultipartMessageDate, EnglishNamesFourDigitYearNumericZone) {
    ZoneScope zone("UTC0");
    struct Row { int y, mo, d, h, mi, s; const char* date; } rows[] = {
        {2001, 1, 1, 0, 0, 0, "Mon, 01 Jan 2001 00:00:00 +0000"},   {2001, 2, 1, 9, 5, 7, "Thu, 01 Feb 2001 09:05:07 +0000"},
        {2001, 3, 1, 10, 0, 0, "Thu, 01 Mar 2001 10:00:00 +0000"},  {2001, 4, 1, 11, 0, 0, "Sun, 01 Apr 2001 11:00:00 +0000"},
        {2001, 5, 1, 12, 0, 0, "Tue, 01 May 2001 12:00:00 +0000"},  {2001, 6, 1, 13, 0, 0, "Fri, 01 Jun 2001 13:00:00 +0000"},
        {2001, 7, 1, 14, 0, 0, "Sun, 01 Jul 2001 14:00:00 +0000"},  {2001, 8, 1, 15, 0, 0, "Wed, 01 Aug 2001 15:00:00 +0000"},
        {2001, 9, 1, 16, 0, 0, "Sat, 01 Sep 2001 16:00:00 +0000"},  {2001, 10, 1, 17, 0, 0, "Mon, 01 Oct 2001 17:00:00 +0000"},
        {2001, 11, 1, 18, 0, 0, "Thu, 01 Nov 2001 18:00:00 +0000"}, {2001, 12, 1, 23, 59, 58, "Sat, 01 Dec 2001 23:59:58 +0000"},
        {1999, 12, 31, 23, 59, 59, "Fri, 31 Dec 1999 23:59:59 +0000"}, {2000, 1, 1, 0, 0, 0, "Sat, 01 Jan 2000 00:00:00 +0000"},
    };
    for (const Row& row : rows) {
        std::tm t{};
        t.tm_year = row.y - 1900, t.tm_mon = row.mo - 1, t.tm_mday = row.d;
        t.tm_hour = row.h, t.tm_min = row.mi, t.tm_sec = row.s;
        EXPECT_EQ(FormatDate(timegm(&t)), row.date);
    }
}

TEST(MultipartMessageDate, LocalTimeWithTheZonesOffset) {
    struct Row { const char* zone; std::time_t t; const char* date; } rows[] = {
        {"EST5EDT,M3.2.0,M11.1.0", 983776089, "Mon, 05 Mar 2001 02:08:09 -0500"},
        {"EST5EDT,M3.2.0,M11.1.0", 994248000, "Wed, 04 Jul 2001 08:00:00 -0400"},   // 12:00 UTC
        {"CST-8", 1796800800, "Wed, 09 Dec 2026 15:20:00 +0800"},
        {"IST-5:30", 983776089, "Mon, 05 Mar 2001 12:38:09 +0530"},
        {"NST3:30", 983776089, "Mon, 05 Mar 2001 03:38:09 -0330"},
    };
    for (const Row& row : rows) {
        ZoneScope zone(row.zone);
        EXPECT_EQ(FormatDate(row.t), row.date) << row.zone;
    }
}

TEST(MultipartMessageDate, UnconvertibleTimeGivesAnEmptyValue) {
    MultipartMessage m;
    EXPECT_EQ(HeaderLines(m, std::numeric_limits<std::time_t>::max()),
              "From: \r\nTo: \r\nDate: \r\nSubject: \r\nX-Mailer: Quorbel Post\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n");
}

TEST(MultipartMessageThreads, MessagesComposedAtOnceAreAlike) {
    ZoneScope zone("UTC0");
    std::vector<std::string> bodies(4);
    std::vector<std::thread> threads;
    for (std::string& body : bodies)
        threads.emplace_back([&body] {
            MultipartMessage m;
            m.SetBody("hello there");
            body = Written(m);
        });
    for (std::thread& t : threads) t.join();
    for (const std::string& body : bodies)
        EXPECT_EQ(body, "From: \r\nTo: \r\nDate: Mon, 05 Mar 2001 07:08:09 +0000\r\nSubject: \r\n"
                        "X-Mailer: Quorbel Post\r\nMIME-Version: 1.0\r\n"
                        "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\r\n\r\n" +
                            kPre + kB + kText + "hello there\r\n" + kClose + kEnd);
}

}  // namespace
}  // namespace tarnwick::sendmail
