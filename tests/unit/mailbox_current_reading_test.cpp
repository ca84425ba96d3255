// Today's part tree (mime::current::Part) and what Tarnwick.MailReader reads
// from it (mailbox::current). Every message is held in an exactly sized heap
// block, so that AddressSanitizer reports any read outside it.
#include "mailbox/current/Reading.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mailbox/stored/Reading.h"
#include "mime/stored/Part.h"
#include "tests/unit/TestFiles.h"
#include "text/Charsets.h"

namespace tarnwick::mailbox::current {
namespace {

struct Message {
    explicit Message(const std::string& text) : bytes(text), root(bytes.begin(), bytes.end()) {}
    test::ExactBytes bytes;
    mime::current::Part root;
};

// What a download sends: the decoded bytes, in a block of exactly the capacity.
std::string Decoded(const mime::current::Part& part) {
    const std::size_t capacity = DecodedCapacity(part);
    std::unique_ptr<char[]> out(new char[capacity + (capacity == 0)]);
    const std::size_t count = DecodeBodyInto(part, out.get());
    EXPECT_LE(count, capacity);
    return std::string(out.get(), count);
}

// A header folded in the middle of its parameters, a nested boundary that
// begins with its parent's, names in every place a client puts them.
const std::string kMixed =
    "From: =?utf-8?B?5rWL?= <a@example.org>\r\n"
    "Subject: =?utf-8?q?Hello?=\r\n =?utf-8?q?_World?=\r\n"
    "Date: Mon, 1 Jan 2024 00:00:00 +0000\r\n"
    "Content-Type: multipart/mixed;\r\n\tcharset=\"us-ascii\";\r\n\tBOUNDARY=\"b\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--b\r\n"
    "Content-Type: multipart/alternative; boundary=\"b-inner\"\r\n\r\n"
    "--b-inner\r\n"
    "Content-Type: text/plain; charset=gb2312\r\n\r\n"
    "\xD6\xD0\xCE\xC4\r\n"
    "--b-inner\r\n"
    "Content-Type: text/html\r\n\r\n"
    "<p>x</p>\r\n"
    "--b-inner--\r\n"
    "--b\r\n"
    "Content-Type: application/pdf; name=\"Report.PDF\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\n"
    "Zm9vYmE\r\n"
    "--b\r\n"
    "Content-Type: text/plain; name=\"notes.txt\"\r\n\r\n"
    "not an attachment\r\n"
    "--b\r\n"
    "content-type: text/plain\r\n"
    "content-disposition: ATTACHMENT; filename*=utf-8''%ED%95%9C.txt\r\n"
    "content-transfer-encoding: Quoted-Printable\r\n\r\n"
    "a=3Db=\r\nc\r\n"
    "--b\r\n"
    "Content-Disposition: attachment; filename=\"=?utf-8?q?=C3=89t=C3=A9.doc?=\"\r\n\r\n"
    "summer\r\n"
    "--b\r\n"
    "Content-Type: image/png\r\n"
    "Content-Disposition: inline; filename=\"p.png\"\r\n\r\n"
    "PNG\r\n"
    "--b\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Disposition: attachment\r\n\r\n"
    "nameless\r\n"
    "--b--\r\n";

TEST(CurrentReadingTree, SplitsByWholeDelimiterLines) {
    const Message m(kMixed);
    ASSERT_EQ(m.root.children.size(), 7u);
    EXPECT_EQ(m.root.children[0]->children.size(), 2u);
    EXPECT_EQ(Decoded(*m.root.children[2]), "not an attachment");
}

TEST(CurrentReadingSummary, KeepsFourSlots) {
    struct Row {
        std::string message;
        std::array<std::u16string, 4> values;
    };
    const std::vector<Row> rows = {
        {kMixed, {u"测 <a@example.org>", u"", u"Hello World", u"Mon, 1 Jan 2024 00:00:00 +0000"}},
        {"To: =?EUC-KR?B?x9E=?= <b@y>\r\nsubject: \xE6\xB5\x8B\xE8\xAF\x95\r\n\r\n", {u"", u"한 <b@y>", u"测试", u""}},
        {"just a body\r\n", {u"", u"", u"", u""}},
    };
    for (const Row& row : rows) {
        const Message m(row.message);
        EXPECT_EQ(SummaryValues(m.root), row.values) << row.message;
        std::u16string line;
        for (const std::u16string& value : row.values) line += value + u"||||";
        EXPECT_EQ(SummaryLine(m.root), line) << row.message;
    }
}

TEST(CurrentReadingBody, ConvertsFromThePartsCharset) {
    struct Row {
        std::string message;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {kMixed, u"中文"},
        {"Subject: no charset\r\n\r\n\xD6\xD0\xCE\xC4", u"中文"},
        {"Subject: no charset, UTF-8\r\n\r\n\xE4\xB8\xAD\xE6\x96\x87", u"中文"},
        {"Content-Type: text/plain; charset=us-ascii\r\n\r\n\xEF\xBB\xBF" "caf\xC3\xA9", u"café"},
        {"Content-Type: text/plain; charset=ks_c_5601-1987\r\n\r\n\xC7\xD1\xB1\xB9", u"한국"},
        {"Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\nYWIAY2Q=", u"ab"},
        {"Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "=F0=9F=98=80 ok",
         u"\U0001F600 ok"},
        // Soft line breaks of text stored with bare LF line ends.
        {"Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
         "=E4=B8=AD=\n=E6=96=87 one=\ntwo\nend\n",
         u"中文 onetwo\r\nend\r\n"},
    };
    for (const Row& row : rows) EXPECT_EQ(BodyText(Message(row.message).root), row.expected) << row.message;
}

// A single text part of this charset and transfer encoding holding body.
std::string TextMessage(const std::string& charset, const std::string& encoding, const std::string& body,
                        const std::string& lineEnd = "\r\n") {
    return "Content-Type: text/plain; charset=" + charset + lineEnd + "Content-Transfer-Encoding: " + encoding +
           lineEnd + lineEnd + body;
}

TEST(CurrentReadingBody, QuotedPrintableIsReadByRfc2045) {
    struct Row {
        const char* name;
        std::string message;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {"an '=' without two hex digits", TextMessage("utf-8", "quoted-printable", "id=5&lang=en"), u"id=5&lang=en"},
        {"'=' blanks CR LF is a soft break", TextMessage("utf-8", "quoted-printable", "soft= \r\nline"), u"softline"},
        {"'=' blanks bare LF is a soft break", TextMessage("utf-8", "quoted-printable", "soft=\t\nline\nend", "\n"),
         u"softline\r\nend"},
        {"=00 is a zero byte, where text ends", TextMessage("utf-8", "quoted-printable", "a=00b"), u"a"},
        {"escapes in the part's charset", TextMessage("gb2312", "Quoted-Printable (qp)", "=D6=D0=CE=C4"), u"中文"},
    };
    for (const Row& row : rows) EXPECT_EQ(BodyText(Message(row.message).root), row.expected) << row.name;
}

TEST(CurrentReadingBody, Utf16IsConvertedBeforeItIsCutAtU0000) {
    struct Row {
        const char* name;
        std::string message;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        // "hi!" in UTF-16LE: 68 00 69 00 21 00.
        {"utf-16le", TextMessage("utf-16le", "base64", "aABpACEA"), u"hi!"},
        {"utf-16 with a little-endian mark", TextMessage("utf-16", "base64", "//5oAGkAIQA="), u"hi!"},
        {"utf-16 with a big-endian mark", TextMessage("\"UTF-16\"", "base64", "/v8AaABpACE="), u"hi!"},
        {"U+0000 ends the text", TextMessage("utf-16le", "base64", "aAAAAGkA"), u"h"},
        {"=00 escapes of quoted-printable", TextMessage("utf-16le", "quoted-printable", "h=00i=00"), u"hi"},
        {"one-byte charsets still end at a zero byte", TextMessage("iso-8859-1", "base64", "YQBi"), u"a"},
    };
    for (const Row& row : rows) EXPECT_EQ(BodyText(Message(row.message).root), row.expected) << row.name;

    const test::ExactBytes spam(
        test::ReadFile(std::string(TARNWICK_CORPUS_DIR) + "/mail/spamassassin/t/data/spam/utf16.eml"));
    const mime::current::Part root(spam.begin(), spam.end());
    const std::u16string text = BodyText(root);
    EXPECT_EQ(text.substr(0, 27), u"\r\nDear potencial partner,\r\n");
    EXPECT_GT(text.size(), 300u);
    EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos);
}

// Without a text/plain part the body is the text of the first HTML part,
// read in its charset; HtmlBody is that part's markup.
TEST(CurrentReadingBody, HtmlWithoutPlainTextGivesItsText) {
    struct Row {
        const char* name;
        std::string message;
        std::u16string body;
        std::u16string html;
    };
    const std::vector<Row> rows = {
        {"multipart/mixed of HTML and a PDF",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "<p>caf=C3=A9</p><p>&lt;ok&gt;</p>\r\n--b\r\n"
         "Content-Type: application/pdf; name=a.pdf\r\n\r\n%PDF\r\n--b--\r\n",
         u"café\r\n<ok>\r\n", u"<p>café</p><p>&lt;ok&gt;</p>"},
        {"a single HTML part", "Content-Type: text/html\r\n\r\n<b>x</b><br>y", u"x\r\ny\r\n", u"<b>x</b><br>y"},
        {"the charset of a <meta>",
         "Content-Type: text/html\r\n\r\n<meta charset=\"euc-kr\"><i>\xC7\xD1</i>", u"한\r\n",
         u"<meta charset=\"euc-kr\"><i>한</i>"},
        {"the part's charset beats the <meta>",
         "Content-Type: text/html; charset=gb2312\r\n\r\n"
         "<meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">\xD6\xD0",
         u"中\r\n", u"<meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">中"},
        {"neither: the system code page", "Content-Type: text/html\r\n\r\n\xD6\xD0\xCE\xC4", u"中文\r\n",
         u"中文"},
        {"an HTML attachment is no body",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/html\r\nContent-Disposition: attachment; filename=a.htm\r\n\r\n<p>a</p>\r\n--b--\r\n",
         u"", u""},
        {"a plain part reads as before",
         "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/html\r\n\r\n<p>html</p>\r\n--b\r\n"
         "Content-Type: text/plain\r\n\r\n <p>plain</p>\r\n--b--\r\n",
         u" <p>plain</p>", u"<p>html</p>"},
        {"a UTF-8 byte order mark beats the system code page",
         "Content-Type: text/html\r\n\r\n\xEF\xBB\xBF<b>caf\xC3\xA9</b>", u"café\r\n", u"<b>café</b>"},
        {"a UTF-16 byte order mark", std::string("Content-Type: text/html\r\n\r\n\xFF\xFE<\0b\0>\0x\0", 37),
         u"x\r\n", u"<b>x"},
        {"a multipart/related reads only its start part",
         "Content-Type: multipart/related; boundary=b; start=\"<h@x>\"\r\n\r\n--b\r\n"
         "Content-Type: text/plain\r\n\r\nstyle sheet\r\n--b\r\n"
         "Content-Type: text/html\r\nContent-ID: <h@x>\r\n\r\n<p>page</p>\r\n--b--\r\n",
         u"page\r\n", u"<p>page</p>"},
        {"an image alone has no text", "Content-Type: image/png\r\n\r\nPNG", u"", u""},
    };
    for (const Row& row : rows) {
        const Message m(row.message);
        EXPECT_EQ(BodyText(m.root), row.body) << row.name;
        EXPECT_EQ(HtmlBody(m.root), row.html) << row.name;
    }
}

// A part of a multipart/digest that gives no type is a message, not text.
TEST(CurrentReadingBody, DigestPartsWithoutTypeAreMessages) {
    const Message m(
        "Content-Type: multipart/digest; boundary=d\r\n\r\n--d\r\n\r\nSubject: inner\r\n\r\ninner text\r\n--d\r\n"
        "Content-Type: text/plain\r\n\r\nthe text\r\n--d--\r\n");
    EXPECT_EQ(BodyText(m.root), u"the text");
}

TEST(CurrentReadingInline, FindsAPartByItsContentId) {
    const Message m(
        "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: text/html\r\n\r\n<img src=\"cid:one@x\">\r\n--b\r\n"
        "Content-Type: image/png\r\ncontent-id:\r\n <one@x>\r\n\r\nPNG\r\n--b\r\n"
        "Content-Type: image/gif\r\nContent-ID: two\r\n\r\nGIF\r\n--b\r\n"
        "Content-Type: image/gif\r\nContent-ID: <three@x> (logo)\r\n\r\nGIF\r\n--b--\r\n");
    struct Row {
        std::u16string contentId;
        const mime::current::Part* part;
    };
    const mime::current::Part* one = m.root.children[1].get();
    const mime::current::Part* two = m.root.children[2].get();
    const mime::current::Part* three = m.root.children[3].get();
    const std::vector<Row> rows = {
        {u"one@x", one}, {u"<one@x>", one}, {u"two", two}, {u"<two>", two}, {u"three@x", three},
        {u"ONE@X", nullptr}, {u"<one@x", nullptr}, {u"one", nullptr}, {u"", nullptr}, {u"<>", nullptr},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FindPartByContentId(m.root, row.contentId), row.part) << text::ToUtf8(row.contentId);
}

TEST(CurrentReadingAttachments, QuotedPrintableIsReadByRfc2045) {
    struct Row {
        const char* name;
        std::string stored;
        std::string sent;
    };
    const std::vector<Row> rows = {
        {"an '=' without two hex digits", "id=5&lang=en", "id=5&lang=en"},
        {"'=' blanks CR LF", "soft= \r\nline", "softline"},
        {"'=' bare LF", "soft=\nline", "softline"},
        {"=00 is the byte 00", "a=00b", std::string("a\0b", 3)},
        {"'=' at the end before the delimiter's line break", "end=", "end"},
    };
    for (const Row& row : rows) {
        const Message m("Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                        "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: quoted-printable\r\n"
                        "Content-Disposition: attachment; filename=\"q.bin\"\r\n\r\n" +
                        row.stored + "\r\n--b--\r\n");
        const mime::current::Part* part = FindAttachmentByName(m.root, u"q.bin");
        ASSERT_NE(part, nullptr) << row.name;
        EXPECT_EQ(Decoded(*part), row.sent) << row.name;
    }
}

TEST(CurrentReadingAttachments, ListsNamedAttachmentsAndFindsThem) {
    const Message m(kMixed);
    EXPECT_EQ(AttachmentList(m.root), u"Report.PDF||한.txt||Été.doc||p.png||");
    struct Row {
        std::u16string name;
        const char* bytes;   // null: not found
        const char* type;
    };
    const std::vector<Row> rows = {
        {u"Report.PDF", "fooba", "application/pdf"},
        {u"report.pdf", "fooba", "application/pdf"},
        {u"한.txt", "a=bc", "text/plain"},
        {u"ÉTÉ.DOC", nullptr, nullptr},
        {u"Été.DOC", "summer", "application/octet-stream"},
        {u"p.png", "PNG", "image/png"},
        {u"notes.txt", nullptr, nullptr},
        {u"Report.PDF ", nullptr, nullptr},
        {u"", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        const mime::current::Part* part = FindAttachmentByName(m.root, row.name);
        ASSERT_EQ(part != nullptr, row.bytes != nullptr) << text::ToUtf8(row.name);
        if (part == nullptr) continue;
        EXPECT_EQ(Decoded(*part), row.bytes) << text::ToUtf8(row.name);
        EXPECT_EQ(AttachmentContentType(*part), row.type) << text::ToUtf8(row.name);
    }
}

TEST(CurrentReadingAttachments, DownloadEqualsMailsDecoding) {
    const Message m(
        "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n"
        "--XYZ\r\n"
        "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"a.bin\"\r\n\r\n"
        "Zm9v\r\nYmE\r\n"
        "--XYZ\r\n"
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n"
        "Content-Disposition: attachment; filename=\"b.txt\"\r\n\r\n"
        "a=3Db=\r\nc\r\n"
        "--XYZ--\r\n");
    const mime::stored::Part mailRoot(m.bytes.begin(), m.bytes.end());
    for (const auto& [name, expected] : {std::pair<const char*, const char*>{"a.bin", "fooba"}, {"b.txt", "a=bc"}}) {
        const mime::current::Part* part = FindAttachmentByName(m.root, text::FromUtf8(name));
        const mime::stored::Part* mailPart = mailbox::stored::FindAttachmentByName(mailRoot, name);
        ASSERT_TRUE(part != nullptr && mailPart != nullptr) << name;
        const mime::stored::DecodedBody mail = mime::stored::DecodeBody(*mailPart);
        EXPECT_EQ(Decoded(*part), std::string(mail.bytes.data(), mail.count)) << name;
        EXPECT_EQ(Decoded(*part), expected) << name;
    }
}

TEST(CurrentReadingHostile, CutsEndlessFieldsAndDeepNesting) {
    const std::string endless(5 << 20, 'x');
    std::string folded = "x", unfolded = "x";
    for (int i = 0; i < 100000; ++i) folded += "\r\n yy", unfolded += " yy";
    for (const auto& [subject, expected] : {std::pair{endless, endless}, {folded, unfolded}}) {
        const Message m("Subject: " + subject + "\r\n\r\nbody");
        const std::string& value = m.root.FindField("Subject")->value;
        EXPECT_LE(value.size(), mime::current::kMaxFieldBytes);
        EXPECT_GE(value.size(), mime::current::kMaxFieldBytes - 1);   // the blank after the colon may count
        EXPECT_EQ(value, expected.substr(0, value.size()));
        EXPECT_EQ(BodyText(m.root), u"body");
    }

    std::string nested = "Content-Type: application/zip; name=deep.zip\r\n\r\nPK";
    for (int level = 199; level >= 0; --level) {
        const std::string b = "b" + std::to_string(level);
        nested = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + nested + "\r\n--" + b +
                 "--\r\n";
    }
    const Message m(nested);
    const mime::current::Part* part = &m.root;
    int depth = 0;
    for (; !part->children.empty(); ++depth) part = part->children[0].get();
    EXPECT_EQ(depth, mime::stored::kMaxNestingDepth);
    EXPECT_NE(part->bodyBegin, nullptr);
    EXPECT_EQ(AttachmentList(m.root), u"");
}

// Every prefix of a message, each in its own exact block: the reads stay in
// it, and a cut message never lists more than the whole one.
TEST(CurrentReadingHostile, EveryPrefixStaysInItsRange) {
    for (std::size_t size = 0; size <= kMixed.size(); ++size) {
        const Message m(kMixed.substr(0, size));
        SummaryLine(m.root);
        BodyText(m.root);
        const std::vector<Attachment> attachments = Attachments(m.root);
        EXPECT_LE(attachments.size(), 4u) << size;
        for (const Attachment& attachment : attachments) Decoded(*attachment.part);
    }
}

}  // namespace
}  // namespace tarnwick::mailbox::current
