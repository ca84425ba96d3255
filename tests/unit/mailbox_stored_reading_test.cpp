#include "mailbox/stored/Reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick::mailbox::stored {
namespace {

using namespace std::string_literals;

// Joins lines with CR LF, as stored messages end every line.
std::string Message(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

std::string Summary(const std::string& message) {
    mime::stored::Part root(message.data(), message.data() + message.size());
    std::string joined;
    for (const std::string& value : SummaryValues(root)) joined += value + kSummarySeparator;
    return joined;
}

std::string Body(const std::string& message) {
    mime::stored::Part root(message.data(), message.data() + message.size());
    return BodyText(root);
}

std::string Attachments(const std::string& message) {
    mime::stored::Part root(message.data(), message.data() + message.size());
    return AttachmentList(root);
}

TEST(StoredReadingSummary, FollowsTheFieldRules) {
    struct Case { std::string message; std::string expected; } cases[] = {
        {Message({"From: alice", "To: bob", "Subject: Hi", "Date: Mon, 1 Jan 2001 10:00:00 +0800", "", "x"}),
         "alice||||bob||||Hi||||Mon, 1 Jan 2001 10:00:00 +0800||||"},
        // Names are case-sensitive; a missing field shifts the later values.
        {Message({"FROM: alice", "To: bob", "Subject: Hi", "", "x"}), "bob||||Hi||||"},
        // No space after the colon: no field.
        {Message({"From:x", "To: bob", "", ""}), "bob||||"},
        // An empty value still gets its separator.
        {Message({"From: a", "Subject: ", "", ""}), "a||||||||"},
        // The first of two From lines wins; a value ends at its first ';'.
        {Message({"From: first", "From: second", "Subject: one; two", "", ""}), "first||||one||||"},
        // Only the message's own header counts.
        {Message({"Content-Type: multipart/mixed; boundary=\"b\"", "", "--b", "From: inner", "", "x", "--b--"}), ""},
        {Message({"Subject: =?gb2312?B?1tDOxA==?=", "", ""}), "\xD6\xD0\xCE\xC4||||"},
    };
    for (const Case& c : cases) EXPECT_EQ(Summary(c.message), c.expected) << c.message;
}

TEST(StoredReadingSummary, ValuesAreCutTo254Bytes) {
    std::string exact(254 - 9, 's');   // "Subject: " plus the value fills 254 bytes
    EXPECT_EQ(Summary(Message({("Subject: " + exact).c_str(), "", ""})), exact + "||||");
    std::string longer(300, 's');
    EXPECT_EQ(Summary(Message({("Subject: " + longer).c_str(), "", ""})), exact + "||||");
}

TEST(StoredReadingBody, ChoosesTheFirstPlainTextPart) {
    struct Case { const char* shape; std::string message; std::string expected; } cases[] = {
        {"single part, text/plain with parameters",
         Message({"Content-Type: text/plain; charset=gb2312", "", "hello \xD6\xD0"}), "hello \xD6\xD0\r\n"},
        {"single part without Content-Type", Message({"From: a", "", "line"}), "line\r\n"},
        {"html only", Message({"Content-Type: text/html", "", "<p>x</p>"}), "<p>x</p>\r\n"},
        {"quoted-printable with a soft break",
         Message({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
                  "ab=", "cd=41"}),
         "abcdA\r\n"},
        {"base64", Message({"Content-Type: text/plain", "Content-Transfer-Encoding: base64", "", "aGVsbG8="}),
         "hello"},
        {"alternative nested in mixed",
         Message({"Content-Type: multipart/mixed; boundary=\"outer\"", "", "--outer",
                  "Content-Type: multipart/alternative; boundary=\"inner\"", "", "--inner",
                  "Content-Type: text/plain", "", "plain text", "--inner", "Content-Type: text/html", "",
                  "<b>html</b>", "--inner--", "--outer", "Content-Type: text/plain",
                  "Content-Disposition: attachment; filename=\"a.txt\"", "", "attached", "--outer--"}),
         "plain text"},
        {"multipart with html only",
         Message({"Content-Type: multipart/alternative; boundary=\"b\"", "", "--b", "Content-Type: text/html", "",
                  "<i>x</i>", "--b--"}),
         ""},
        {"TEXT/PLAIN is not matched; the root is a multipart part",
         Message({"Content-Type: multipart/mixed; boundary=\"b\"", "", "--b", "Content-Type: TEXT/PLAIN", "",
                  "x", "--b--"}),
         ""},
        {"a zero byte ends the text", std::string("From: a\r\n\r\nab") + '\0' + "cd\r\n", "ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(Body(c.message), c.expected) << c.shape;
}

TEST(StoredReadingAttachments, AreListedInPreOrderWithDecodedNames) {
    std::string message = Message({
        "Content-Type: multipart/mixed; boundary=\"outer\"", "", "--outer", "Content-Type: text/plain", "", "body",
        "--outer", "Content-Type: multipart/mixed; boundary=\"inner\"", "", "--inner",
        "Content-Type: application/pdf", "Content-Disposition: attachment; filename=\"nested.pdf\"", "", "pdf",
        "--inner--", "--outer", "Content-Type: image/png",
        "Content-Disposition: attachment; filename=\"=?gb2312?B?1tDOxA==?=.png\"", "", "png",
        "--outer", "Content-Type: image/gif", "Content-Disposition: inline; filename=\"inline.gif\"", "", "gif",
        "--outer", "Content-Type: text/plain", "Content-Disposition: attachment", "", "nameless",
        "--outer--"});
    EXPECT_EQ(Attachments(message), "nested.pdf||\xD6\xD0\xCE\xC4.png||");

    mime::stored::Part root(message.data(), message.data() + message.size());
    const mime::stored::Part* pdf = FindAttachmentByName(root, "NESTED.PDF");
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(AttachmentContentType(*pdf), "application/pdf");
    EXPECT_NE(FindAttachmentByName(root, "\xD6\xD0\xCE\xC4.PNG"), nullptr);
    EXPECT_EQ(FindAttachmentByName(root, "inline.gif"), nullptr);
    EXPECT_EQ(FindAttachmentByName(root, ""), nullptr) << "a nameless attachment is never delivered";
    EXPECT_EQ(Attachments(Message({"From: a", "", "no parts"})), "");
}

// The bytes GetFile sends for the attachment named name ("<none>" when there
// is none).
std::string Download(const std::string& message, const std::string& name) {
    mime::stored::Part root(message.data(), message.data() + message.size());
    const mime::stored::Part* part = FindAttachmentByName(root, name);
    if (part == nullptr) return "<none>";
    const mime::stored::DecodedBody body = mime::stored::DecodeBody(*part);
    return std::string(body.bytes.data(), body.count);
}

TEST(StoredReadingAttachments, TransferEncodingIsReadAsAToken) {
    const struct {
        const char* encoding;
        const char* stored;
        std::string sent;   // GetFile's bytes
        const char* text;   // GetBody of a text part holding "aGVsbG8="
    } rows[] = {
        {"Content-Transfer-Encoding: base64 ", "AAEC/w==", "\x00\x01\x02\xff"s, "hello"},
        {"Content-Transfer-Encoding:  Base64", "AAEC/w==", "\x00\x01\x02\xff"s, "hello"},
        {"Content-Transfer-Encoding: base64 (ok)", "AAEC/w==", "\x00\x01\x02\xff"s, "hello"},
        {"Content-Transfer-Encoding: quoted-printable (x)", "a=3Db", "a=b", "aGVsbG8"},
        {"Content-Transfer-Encoding: 7bit (base64)", "AAEC/w==", "AAEC/w==", "aGVsbG8=\r\n"},
    };
    for (const auto& row : rows) {
        const std::string message = Message({"Content-Type: multipart/mixed; boundary=\"b\"", "", "--b",
                                             "Content-Disposition: attachment; filename=\"x.bin\"", row.encoding, "",
                                             row.stored, "--b--"});
        EXPECT_EQ(Download(message, "x.bin"), row.sent) << row.encoding;
        EXPECT_EQ(Body(Message({"Content-Type: text/plain", row.encoding, "", "aGVsbG8="})), row.text) << row.encoding;
    }
}

TEST(StoredReadingAttachments, ABoundaryInAnotherHeaderSplitsNothing) {
    // Subject and From as SendMail writes them from a posted form, before
    // the message's own Content-Type.
    for (const char* header : {"Subject: report; boundary=x", "Subject: report; boundary=\"\"",
                               "From: \"Ann; boundary=x\" <ann@localhost>"}) {
        const std::string message = Message({header, "Content-Type: multipart/mixed; boundary=\"real\"", "", "--real",
                                             "Content-Type: text/plain", "", "hello", "--real",
                                             "Content-Disposition: attachment; filename=\"a.txt\"", "", "file",
                                             "--real--"});
        EXPECT_EQ(Body(message), "hello") << header;
        EXPECT_EQ(Attachments(message), "a.txt||") << header;
        EXPECT_EQ(Download(message, "a.txt"), "file") << header;
    }
}

TEST(StoredReadingAttachments, QuotedPrintableEqualsZeroZeroIsAZeroByteInDownloadsOnly) {
    const std::string message =
        Message({"Content-Type: multipart/mixed; boundary=\"b\"", "", "--b", "Content-Type: text/plain",
                 "Content-Transfer-Encoding: quoted-printable", "", "a=00b", "--b",
                 "Content-Transfer-Encoding: quoted-printable", "Content-Disposition: attachment; filename=\"z.bin\"",
                 "", "a=00b=00", "--b--"});
    EXPECT_EQ(Download(message, "z.bin"), "a\0b\0"s);
    // The text GetBody shows keeps the stored reading of "=00".
    EXPECT_EQ(Body(message), "a\n00b");
}

TEST(StoredReadingAttachments, CaseFoldingTouchesOnlyAsciiLetters) {
    // 0xC1 and 0xE1 differ by 0x20 like a letter pair, but are not letters.
    std::string message = Message({"Content-Disposition: attachment; filename=\"\xC1x.txt\"", "", "data"});
    mime::stored::Part root(message.data(), message.data() + message.size());
    EXPECT_NE(FindAttachmentByName(root, "\xC1X.TXT"), nullptr);
    EXPECT_EQ(FindAttachmentByName(root, "\xE1x.txt"), nullptr);
    EXPECT_EQ(AttachmentContentType(*FindAttachmentByName(root, "\xC1x.txt")), "application/octet-stream");
}

TEST(StoredReadingEncodeDecode, RoundTripsAndLaysOutLines) {
    EXPECT_EQ(EncodeText(""), "");
    EXPECT_EQ(DecodeText(""), "");
    std::string chinese = "\xD6\xD0\xCE\xC4 text";
    EXPECT_EQ(DecodeText(EncodeText(chinese)), chinese);
    std::string line54(54, 'x'), line55(55, 'x');
    EXPECT_EQ(EncodeText(line54).size(), 74u);
    EXPECT_EQ(EncodeText(line54).substr(72), "\r\n");
    std::string encoded55 = EncodeText(line55);
    EXPECT_EQ(encoded55.size(), 78u);
    EXPECT_EQ(encoded55.substr(72, 2), "\r\n");
    EXPECT_EQ(encoded55.substr(76), "==");
    EXPECT_EQ(DecodeText(encoded55), line55);
    EXPECT_EQ(DecodeText("YQBi"), "a") << "a decoded zero byte ends the text";
}

TEST(StoredReadingAbout, FragmentHasTheStatedShape) {
    std::string html = AboutFragment();
    EXPECT_EQ(html.find("<style type=\"text/css\">"), 0u);
    EXPECT_NE(html.find("</head>"), std::string::npos);
    EXPECT_NE(html.find("Quorbel ASP\xD7\xE9\xBC\xFE 1.0"), std::string::npos);
    EXPECT_EQ(html.find('\n'), std::string::npos);
    EXPECT_EQ(html.find("</body>"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 8), "</table>");
}

}  // namespace
}  // namespace tarnwick::mailbox::stored
