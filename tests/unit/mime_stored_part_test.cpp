// MIME part tree: splitting, searching, body decoding, and
// hostile structure. Messages are copied into exactly-sized heap buffers so
// that AddressSanitizer catches any read past the end.
#include "mime/stored/Part.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace tarnwick::mime::stored {
namespace {

using namespace std::string_literals;

class Message {
public:
    explicit Message(const std::string& bytes)
        : bytes_(bytes), root_(std::make_unique<Part>(bytes_.begin(), bytes_.end())) {}
    const Part& Root() const { return *root_; }
    const char* Begin() const { return bytes_.begin(); }
    const char* End() const { return bytes_.end(); }
    // Offset of a pointer into the message (-1 for null).
    long Offset(const char* p) const { return p == nullptr ? -1 : static_cast<long>(p - Begin()); }

private:
    test::ExactBytes bytes_;
    std::unique_ptr<Part> root_;
};

std::string Body(const Part& part) {
    if (part.bodyBegin == nullptr) return {};
    return std::string(part.bodyBegin, part.bodyEnd);
}

std::string Field(const Part& part, const char* name) {
    char out[kValueBytes];
    return GetField(part, name, out) ? std::string(out) : std::string("<none>");
}

std::string Decoded(const Part& part) {
    DecodedBody d = DecodeBody(part);
    EXPECT_EQ(d.bytes.size(), part.bodyBegin == nullptr ? 0u : part.BodySize());
    EXPECT_LE(d.count, d.bytes.size());
    return std::string(d.bytes.data(), d.count);
}

const std::string kSimple =
    "From: alice\r\n"
    "Subject: hi\r\n"
    "\r\n"
    "line1\r\n"
    "line2\r\n";

const std::string kTwoParts =
    "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n"
    "\r\n"
    "This is a preamble.\r\n"
    "--XYZ\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "hello\r\n"
    "--XYZ\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
    "\r\n"
    "Zm9vYmFy\r\n"
    "--XYZ--\r\n"
    "the epilogue\r\n";

// mixed( alternative(text/plain qp, text/html), notes.txt attachment,
//        mixed(p.png attachment), inline gif, "Attachment" in another case )
const std::string kNested =
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
    "\r\n"
    "--outer\r\n"
    "Content-Type: multipart/alternative;\r\n"
    "\tboundary=\"inner\"\r\n"
    "\r\n"
    "--inner\r\n"
    "Content-Type: text/plain; charset=gb2312\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "=D6=D0=CE=C4 soft=\r\nbreak\r\n"
    "--inner\r\n"
    "Content-Type: text/html\r\n"
    "\r\n"
    "<p>x</p>\r\n"
    "--inner--\r\n"
    "\r\n"
    "--outer\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Disposition: attachment; filename=\"notes.txt\"\r\n"
    "\r\n"
    "attached text\r\n"
    "--outer\r\n"
    "Content-Type: multipart/mixed; boundary=\"deep\"\r\n"
    "\r\n"
    "--deep\r\n"
    "Content-Type: image/png; name=\"p.png\"\r\n"
    "Content-Transfer-Encoding: BASE64\r\n"
    "Content-Disposition: attachment; filename=\"p.png\"\r\n"
    "\r\n"
    "iVBORw==\r\n"
    "--deep--\r\n"
    "--outer\r\n"
    "Content-Disposition: inline; filename=\"i.gif\"\r\n"
    "\r\n"
    "x\r\n"
    "--outer\r\n"
    "Content-Disposition: Attachment; filename=\"cap.txt\"\r\n"
    "\r\n"
    "y\r\n"
    "--outer--\r\n";

// ---------------------------------------------------------------------------
// Splitting

TEST(StoredPartSplit, MessageWithoutBoundaryIsOneLeafWithTheRestAsBody) {
    Message m(kSimple);
    EXPECT_TRUE(m.Root().children.empty());
    EXPECT_EQ(Body(m.Root()), "line1\r\nline2\r\n");
    EXPECT_EQ(m.Root().bodyEnd, m.End());
    EXPECT_EQ(Field(m.Root(), "From"), "alice");
}

TEST(StoredPartSplit, PreambleTwoPartsClosingDelimiterAndEpilogue) {
    Message m(kTwoParts);
    const Part& root = m.Root();
    EXPECT_EQ(root.bodyBegin, nullptr);
    EXPECT_EQ(root.bodyEnd, nullptr);
    ASSERT_EQ(root.children.size(), 2u);
    // A child's range runs from after its opening delimiter line to the line
    // break in front of the closing one, which belongs to the delimiter.
    EXPECT_EQ(Body(*root.children[0]), "hello");
    EXPECT_EQ(Field(*root.children[0], "Content-Type"), "text/plain");
    EXPECT_EQ(m.Offset(root.children[0]->bodyEnd), static_cast<long>(kTwoParts.find("\r\n--XYZ\r\nContent-Type: app")));
    EXPECT_EQ(Body(*root.children[1]), "Zm9vYmFy");
    EXPECT_EQ(Field(*root.children[1], "filename"), "a.bin");
    EXPECT_EQ(Decoded(*root.children[1]), "foobar");
    EXPECT_EQ(Decoded(root), "");
}

TEST(StoredPartSplit, FirstDelimiterWithATrailingBlankIsNoDelimiter) {
    Message m(
        "Content-Type: multipart/mixed; boundary=XYZ\r\n\r\n"
        "--XYZ \r\n\r\none\r\n--XYZ\t\r\n\r\ntwo\r\n--XYZ--\r\n");
    EXPECT_TRUE(m.Root().children.empty());
    EXPECT_EQ(m.Root().bodyBegin, nullptr);
    DecodedBody d = DecodeBody(m.Root());
    EXPECT_EQ(d.count, 0u);
    EXPECT_TRUE(d.bytes.empty());
}

TEST(StoredPartSplit, MissingFirstDelimiterGivesNoChildren) {
    Message m("Content-Type: multipart/mixed; boundary=b\r\n\r\nno delimiter here\r\n--c\r\n");
    EXPECT_TRUE(m.Root().children.empty());
    EXPECT_EQ(m.Root().bodyBegin, nullptr);
}

TEST(StoredPartSplit, LaterDelimitersMatchByPrefix) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\none\r\n"
        "--b-and-more text\r\n\r\ntwo\r\n"
        "--b--\r\n");
    ASSERT_EQ(m.Root().children.size(), 2u);
    EXPECT_EQ(Body(*m.Root().children[0]), "one");
    EXPECT_EQ(Body(*m.Root().children[1]), "two");
}

TEST(StoredPartSplit, ALineInABodyThatBeginsWithTheDelimiterEndsThePart) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\nfirst\r\n--bogus line in the body\r\nsecond\r\n"
        "--b--\r\n");
    ASSERT_EQ(m.Root().children.size(), 2u);
    EXPECT_EQ(Body(*m.Root().children[0]), "first");
    // The second child begins with "second" as its header block, which yields
    // nothing and runs to the end of the child's range.
    EXPECT_EQ(Body(*m.Root().children[1]), "");
}

TEST(StoredPartSplit, PreambleIsMatchedByWholeLineEquality) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--bx\r\n--b\r\n\r\npart\r\n--b--\r\n");
    ASSERT_EQ(m.Root().children.size(), 1u);
    EXPECT_EQ(Body(*m.Root().children[0]), "part");
}

TEST(StoredPartSplit, ReadingContinuesAfterTheClosingDelimiter) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\none\r\n--b--\r\n"
        "Subject: late\r\n\r\nlate body\r\n--b\r\n"
        "Subject: cut short\r\n\r\nno close delimiter\r\n");
    ASSERT_EQ(m.Root().children.size(), 3u);
    EXPECT_EQ(Field(*m.Root().children[1], "Subject"), "late");
    EXPECT_EQ(Body(*m.Root().children[1]), "late body");
    // Text after a delimiter line that is not the close delimiter is a last
    // part cut short; after the close delimiter it is an epilogue.
    EXPECT_EQ(Body(*m.Root().children[2]), "no close delimiter\r\n");
    Message closed("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\none\r\n--b--\r\nepilogue\r\n");
    EXPECT_EQ(closed.Root().children.size(), 1u);
}

TEST(StoredPartSplit, DelimiterLineWithLeadingWhiteSpaceCountsAndTheChildEndsBeforeIt) {
    const std::string text =
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "  --b\r\n\r\none\r\n \t--b--\r\n";
    Message m(text);
    ASSERT_EQ(m.Root().children.size(), 1u);
    EXPECT_EQ(Body(*m.Root().children[0]), "one");
    EXPECT_EQ(m.Offset(m.Root().children[0]->bodyEnd), static_cast<long>(text.find("\r\n \t--b--")));
}

TEST(StoredPartSplit, ClosingDelimiterWithoutLineFeedAtTheEndClosesTheLastChild) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\none\r\n--b\r\nContent-Disposition: attachment; filename=t\r\n\r\ntwo\r\n--b--");
    ASSERT_EQ(m.Root().children.size(), 2u);
    EXPECT_EQ(Body(*m.Root().children[0]), "one");
    EXPECT_EQ(Body(*m.Root().children[1]), "two");
    EXPECT_EQ(Field(*m.Root().children[1], "filename"), "t");
}

TEST(StoredPartSplit, ContentTypeIsNotConsultedOnlyTheBoundaryField) {
    Message m("Content-Type: text/plain; boundary=q\r\n\r\n--q\r\n\r\nx\r\n--q--\r\n");
    ASSERT_EQ(m.Root().children.size(), 1u);
    Message n("Content-Type: application/x-anything;\r\n boundary=q\r\n\r\n--q\r\n\r\nx\r\n--q--\r\n");
    ASSERT_EQ(n.Root().children.size(), 1u);
    Message o("Content-Type: multipart/mixed\r\n\r\n--q\r\n\r\nx\r\n--q--\r\n");
    EXPECT_TRUE(o.Root().children.empty());
    EXPECT_EQ(Body(o.Root()), "--q\r\n\r\nx\r\n--q--\r\n");
}

TEST(StoredPartSplit, OnlyTheContentTypeFieldGivesTheBoundary) {
    // Two parts under the boundary "real"; the header before them varies.
    const std::string parts = "--real\r\nContent-Type: text/plain\r\n\r\nhello\r\n--real\r\n"
                              "Content-Disposition: attachment; filename=\"a.txt\"\r\n\r\nfile\r\n--real--\r\n";
    const struct {
        const char* name;
        std::string header;
        std::size_t children;
    } rows[] = {
        {"Content-Type's own line", "Content-Type: multipart/mixed; boundary=real\r\n", 2},
        {"a folded Content-Type line", "Content-Type: multipart/mixed;\r\n\tboundary=\"real\"\r\n", 2},
        {"a parameter line after Content-Type without its blank",
         "Content-Type: multipart/mixed;\r\nboundary=\"real\"\r\n", 2},
        {"Content-Type in other letters", "content-type: multipart/mixed;\r\n boundary=real\r\n", 2},
        {"a Subject before it holding a boundary",
         "Subject: hi; boundary=x\r\nContent-Type: multipart/mixed; boundary=real\r\n", 2},
        {"a From before it holding a boundary",
         "From: \"a; boundary=x\" <a@b>\r\nContent-Type: multipart/mixed;\r\n\tboundary=real\r\n", 2},
        {"only a Subject holds one", "Subject: hi; boundary=real\r\n", 0},
        {"a folded Subject line holds one", "Subject: hi;\r\n boundary=real\r\n", 0},
        {"a line after Subject holds one", "Content-Type: multipart/mixed\r\nSubject: a\r\nboundary=real\r\n", 0},
        {"Content-Disposition holds one", "Content-Disposition: inline; boundary=real\r\n", 0},
    };
    for (const auto& row : rows) {
        Message m(row.header + "\r\n" + parts);
        EXPECT_EQ(m.Root().children.size(), row.children) << row.name;
        EXPECT_EQ(Field(m.Root(), "boundary"), row.children != 0 ? "real" : "<none>") << row.name;
    }
}

TEST(StoredPartSplit, EmptyBoundaryMakesEveryLineStartingWithTwoDashesADelimiter) {
    Message m("Content-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\n\r\na\r\n-- x\r\n\r\nb\r\n--\r\n");
    ASSERT_EQ(m.Root().children.size(), 2u);
    EXPECT_EQ(Body(*m.Root().children[0]), "a");
    EXPECT_EQ(Body(*m.Root().children[1]), "b");
}

TEST(StoredPartSplit, LongBoundaryWorksUpToTheLineLimit) {
    const std::string boundary(245, 'k');   // "boundary=" + 245 bytes fill a 254-byte line
    Message m("Content-Type: multipart/mixed;\r\n boundary=" + boundary + "\r\n\r\n--" + boundary + "\r\n\r\nz\r\n--" +
              boundary + "--\r\n");
    EXPECT_EQ(Field(m.Root(), "boundary"), boundary);
    ASSERT_EQ(m.Root().children.size(), 1u);
    EXPECT_EQ(Body(*m.Root().children[0]), "z");
}

TEST(StoredPartSplit, HeaderBlockThatReachesTheEndGivesAnEmptyBody) {
    for (const std::string& text : {"Subject: x\r\n"s, "Subject: x"s, ""s, "\r\n"s, "no line feed"s}) {
        Message m(text);
        EXPECT_TRUE(m.Root().children.empty());
        EXPECT_EQ(Body(m.Root()), "") << text;
        EXPECT_EQ(Decoded(m.Root()), "");
    }
    Message m("Subject: x\r\n");
    EXPECT_EQ(Field(m.Root(), "Subject"), "x");
    EXPECT_EQ(m.Root().bodyBegin, m.End());
}

TEST(StoredPartSplit, NestedMultipartBecomesAChildWithItsOwnChildren) {
    Message m(kNested);
    const Part& root = m.Root();
    ASSERT_EQ(root.children.size(), 5u);
    const Part& alternative = *root.children[0];
    EXPECT_EQ(Field(alternative, "Content-Type"), "multipart/alternative");
    EXPECT_EQ(Field(alternative, "boundary"), "inner");
    ASSERT_EQ(alternative.children.size(), 2u);
    EXPECT_EQ(Field(*alternative.children[1], "Content-Type"), "text/html");
    ASSERT_EQ(root.children[2]->children.size(), 1u);
}

// ---------------------------------------------------------------------------
// Searching

TEST(StoredPartFind, TextPlainIsTheNestedPartBeforeALaterAttachment) {
    Message m(kNested);
    bool passed = false;
    const Part* text = FindPart(m.Root(), passed, nullptr, "Content-Type", "text/plain");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text, m.Root().children[0]->children[0].get());
    EXPECT_EQ(Decoded(*text), "\xd6\xd0\xce\xc4 softbreak");
}

TEST(StoredPartFind, AttachmentsInPreOrderThenNull) {
    Message m(kNested);
    bool passed = false;
    const Part* first = FindPart(m.Root(), passed, nullptr, "Content-Disposition", "attachment");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Field(*first, "filename"), "notes.txt");
    passed = false;
    const Part* second = FindPart(m.Root(), passed, first, "Content-Disposition", "attachment");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Field(*second, "filename"), "p.png");
    passed = false;
    EXPECT_EQ(FindPart(m.Root(), passed, second, "Content-Disposition", "attachment"), nullptr);   // "inline" and "Attachment" are none
}

TEST(StoredPartFind, RootTakesPartAndAfterSkipsUpToAndIncludingIt) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\nSubject: s\r\n\r\n"
        "--b\r\nSubject: s\r\n\r\none\r\n--b\r\nSubject: t\r\n\r\ntwo\r\n--b\r\nSubject: s\r\n\r\n3\r\n--b--\r\n");
    const Part& root = m.Root();
    bool passed = false;
    EXPECT_EQ(FindPart(root, passed, nullptr, "Subject", "s"), &root);
    EXPECT_TRUE(passed);
    passed = false;
    EXPECT_EQ(FindPart(root, passed, &root, "Subject", "s"), root.children[0].get());
    passed = false;
    EXPECT_EQ(FindPart(root, passed, root.children[0].get(), "Subject", "s"), root.children[2].get());
    passed = false;
    EXPECT_EQ(FindPart(root, passed, root.children[2].get(), "Subject", "s"), nullptr);
    passed = false;
    EXPECT_EQ(FindPart(root, passed, nullptr, "Subject", "S"), nullptr);     // case-sensitive value
    passed = false;
    EXPECT_EQ(FindPart(root, passed, nullptr, "Subject", "s "), nullptr);    // whole value
    passed = false;
    EXPECT_EQ(FindPart(root, passed, nullptr, "X-Priority", ""), nullptr);  // field must exist
}

TEST(StoredPartFind, AttachmentValueIsTheTextBeforeTheFirstSemicolon) {
    Message m(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Disposition: attachment\r\n\r\n1\r\n"
        "--b\r\nContent-Disposition: attachment ; filename=x\r\n\r\n2\r\n"
        "--b\r\nContent-Disposition: ATTACHMENT; filename=y\r\n\r\n3\r\n"
        "--b\r\nContent-Disposition: attachment;filename=z\r\n\r\n4\r\n"
        "--b--\r\n");
    std::vector<const Part*> found;
    bool passed = false;
    for (const Part* p = FindPart(m.Root(), passed, nullptr, "Content-Disposition", "attachment"); p != nullptr;
         passed = false, p = FindPart(m.Root(), passed, p, "Content-Disposition", "attachment"))
        found.push_back(p);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], m.Root().children[0].get());
    EXPECT_EQ(found[1], m.Root().children[3].get());
    EXPECT_EQ(Field(*found[1], "filename"), "z");
}

// ---------------------------------------------------------------------------
// Decoding bodies

struct BodyCase {
    const char* name;
    std::string headers;   // header lines, each ending with CR LF
    std::string body;
    std::string decoded;
};

TEST(StoredPartDecode, ByTransferEncoding) {
    const std::vector<BodyCase> cases = {
        {"no encoding: copied exactly", "", "text\r\n", "text\r\n"},
        {"7bit is copied", "Content-Transfer-Encoding: 7bit\r\n", "ab\r\n", "ab\r\n"},
        {"base64", "Content-Transfer-Encoding: base64\r\n", "Zm9v\r\nYmFy\r\n", "foobar"},
        {"base64 in another case", "Content-Transfer-Encoding: BaSe64\r\n", "Zm9v\r\n", "foo"},
        {"base64 without its padding", "Content-Transfer-Encoding: base64\r\n", "Zm9vYmF\r\n", "fooba"},
        // The value is a token: blanks around it and comments do not matter.
        {"base64 with a trailing blank", "Content-Transfer-Encoding: base64 \r\n", "Zm9v\r\n", "foo"},
        {"base64 after a second blank", "Content-Transfer-Encoding:  Base64\r\n", "Zm9v\r\n", "foo"},
        {"base64 with a comment", "Content-Transfer-Encoding: base64 (ok)\r\n", "Zm9v\r\n", "foo"},
        {"quoted-printable with a comment and blanks",
         "Content-Transfer-Encoding: (qp) quoted-printable \r\n", "a=3Db\r\n", "a=b\r\n"},
        {"a longer name is not base64", "Content-Transfer-Encoding: base64x\r\n", "Zm9v\r\n", "Zm9v\r\n"},
        {"quoted-printable", "Content-Transfer-Encoding: Quoted-Printable\r\n", "a=3Db=\r\nc\r\n", "a=bc\r\n"},
        {"quoted-printable '=' at the very end", "Content-Transfer-Encoding: quoted-printable\r\n", "ab=",
         "ab\n"},
        {"quoted-printable '=4' at the very end", "Content-Transfer-Encoding: quoted-printable\r\n", "ab=4",
         "ab\x04"},
        {"a one-byte body", "", "x", "x"},
        {"zero bytes are data", "", "a\0b\0c"s, "a\0b\0c"s},
    };
    for (const auto& c : cases) {
        Message m(c.headers + "\r\n" + c.body);
        EXPECT_EQ(Body(m.Root()), c.body) << c.name;
        EXPECT_EQ(Decoded(m.Root()), c.decoded) << c.name;
    }
}

TEST(StoredPartDecode, EqualsZeroZeroIsTheByteInAttachmentsAndALineFeedInText) {
    const struct {
        const char* name;
        std::string body;
        std::string attachment;   // DecodeFor::Attachment, the default
        std::string text;         // DecodeFor::Text
    } rows[] = {
        {"=00 between letters", "a=00b", "a\0b"s, "a\n00b"},
        {"=00 at the end", "ab=00", "ab\0"s, "ab\n00"},
        {"=0 before a line end", "a=0\r\nb", "a\n0\r\nb", "a\n0\r\nb"},
        {"other escapes alike", "=41=\r\n=e9", "A\xe9", "A\xe9"},
    };
    for (const auto& row : rows) {
        Message m("Content-Transfer-Encoding: quoted-printable\r\n\r\n" + row.body);
        EXPECT_EQ(Decoded(m.Root()), row.attachment) << row.name;
        const DecodedBody text = DecodeBody(m.Root(), DecodeFor::Text);
        EXPECT_EQ(std::string(text.bytes.data(), text.count), row.text) << row.name;
        std::vector<char> into(DecodedCapacity(m.Root()));
        EXPECT_EQ(std::string(into.data(), DecodeBodyInto(m.Root(), into.data())), row.attachment) << row.name;
    }
}

TEST(StoredPartDecode, BufferIsAlwaysTheBodySizeZeroFilledAfterTheCount) {
    Message m("Content-Transfer-Encoding: base64\r\n\r\nZm9vYmFy\r\n");
    DecodedBody d = DecodeBody(m.Root());
    ASSERT_EQ(d.bytes.size(), 10u);
    EXPECT_EQ(d.count, 6u);
    EXPECT_EQ(std::string(d.bytes.data(), d.bytes.size()), "foobar\0\0\0\0"s);
}

TEST(StoredPartDecode, ChildBodiesAreExactlyTheirBytesWhateverTheEncoding) {
    Message m(kNested);
    bool passed = false;
    const Part* notes = FindPart(m.Root(), passed, nullptr, "Content-Disposition", "attachment");
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(Decoded(*notes), "attached text");
    passed = false;
    const Part* png = FindPart(m.Root(), passed, notes, "Content-Disposition", "attachment");
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(Decoded(*png), "\x89PNG");
}

TEST(StoredPartDecode, TheLineBreakBeforeADelimiterIsNeverData) {
    struct Case {
        const char* name;
        std::string encoding, body, lineEnd, decoded;
    };
    const std::vector<Case> cases = {
        {"unencoded, CR LF", "", "hello,world", "\r\n", "hello,world"},
        {"unencoded, lone LF", "", "hello,world", "\n", "hello,world"},
        {"binary ending in CR", "binary", "a\r", "\r\n", "a\r"},
        {"binary ending in a line break", "8bit", "a\r\n", "\r\n", "a\r\n"},
        {"quoted-printable, CR LF", "quoted-printable", "hello=3D", "\r\n", "hello="},
        {"quoted-printable, lone LF", "quoted-printable", "hello=3D", "\n", "hello="},
        {"base64 without padding", "base64", "SGVsbG8gV29ybGQ", "\r\n", "Hello World"},
    };
    for (const auto& c : cases) {
        const std::string headers =
            c.encoding.empty() ? "" : "Content-Transfer-Encoding: " + c.encoding + c.lineEnd;
        Message m("Content-Type: multipart/mixed; boundary=B\r\n\r\n--B" + c.lineEnd + headers + c.lineEnd + c.body +
                  c.lineEnd + "--B--" + c.lineEnd);
        ASSERT_EQ(m.Root().children.size(), 1u) << c.name;
        EXPECT_EQ(Decoded(*m.Root().children[0]), c.decoded) << c.name;
    }
}

// The splitting rule line by line, as ReadLine delivers lines: the ranges of
// the children of a part whose delimiter is "--b" and whose body starts at p.
std::vector<std::pair<const char*, const char*>> ChildRangesLineByLine(const char* p, const char* end) {
    std::vector<std::pair<const char*, const char*>> ranges;
    char line[kLineBytes];
    do {
        if (!ReadLine(p, end, line)) return ranges;
    } while (std::strcmp(line, "--b") != 0);
    const char* childBegin = p;
    bool closed = false;
    for (;;) {
        const char* lineBegin = p;
        if (!ReadLine(p, end, line)) break;
        if (std::strncmp(line, "--b", 3) != 0) continue;
        const char* childEnd = lineBegin;
        if (childEnd > childBegin && childEnd[-1] == '\n') --childEnd;
        if (childEnd > childBegin && childEnd[-1] == '\r') --childEnd;
        ranges.emplace_back(childBegin, childEnd);
        childBegin = p;
        closed = std::strncmp(line + 3, "--", 2) == 0;
    }
    if (!closed && childBegin != nullptr && childBegin < end) ranges.emplace_back(childBegin, end);
    return ranges;
}

TEST(StoredPartSplit, DelimiterSearchAgreesWithReadingEveryLine) {
    // Lines that are, nearly are, or hide a delimiter; random line ends.
    const std::vector<std::string> pieces = {
        "--b", "--b--", "--bx", " --b", "\t\r --b", "x--b", "-", "--", "-b", "", "Zm9vYmFy", "a\0--b",
        "--b\0", "--b\rtail", std::string(300, '-'), "--b" + std::string(260, 'z'), std::string(252, ' ') + "--b",
        "Subject: x", "\r"};
    const std::vector<std::string> ends = {"\r\n", "\n", "\r\n", "\r\r\n"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::size_t>((seed >> 8) % n);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
        const std::size_t lines = 1 + next(12);
        for (std::size_t i = 0; i < lines; ++i) {
            text += pieces[next(pieces.size())];
            if (i + 1 < lines || next(2) == 0) text += ends[next(ends.size())];
        }
        Message m(text);
        const char* body = m.Begin() + text.find("\r\n\r\n") + 4;
        const auto expected = ChildRangesLineByLine(body, m.End());
        ASSERT_EQ(m.Root().children.size(), expected.size()) << ::testing::PrintToString(text);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Part alone(expected[i].first, expected[i].second);
            EXPECT_EQ(m.Root().children[i]->bodyBegin, alone.bodyBegin) << ::testing::PrintToString(text);
            EXPECT_EQ(m.Root().children[i]->bodyEnd, alone.bodyEnd) << ::testing::PrintToString(text);
        }
    }
}

// ---------------------------------------------------------------------------
// Hostile structure

// A chain of multipart parts nested levels deep, each with its own boundary.
std::string Nested(int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        // The 'z' keeps "--b1z" from being a prefix of "--b10z".
        const std::string b = "b" + std::to_string(i) + "z";
        open += "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n";
        close = "\r\n--" + b + "--\r\n" + close;
    }
    return open + "Subject: bottom\r\n\r\nleaf\r\n" + close;
}

TEST(StoredPartHostile, NestingIsCappedAndDeeperBoundariesAreNotSplit) {
    Message m(Nested(1000));
    const Part* part = &m.Root();
    int depth = 0;
    while (!part->children.empty()) {
        ASSERT_EQ(part->children.size(), 1u) << depth;
        EXPECT_EQ(part->bodyBegin, nullptr);
        part = part->children[0].get();
        ++depth;
    }
    EXPECT_EQ(depth, kMaxNestingDepth);
    // The part at the cap keeps its boundary but is a leaf over the rest of its range.
    EXPECT_EQ(Field(*part, "boundary"), "b" + std::to_string(kMaxNestingDepth) + "z");
    ASSERT_NE(part->bodyBegin, nullptr);
    EXPECT_GE(part->bodyBegin, m.Begin());
    EXPECT_LE(part->bodyEnd, m.End());
    EXPECT_EQ(Body(*part).rfind("--b" + std::to_string(kMaxNestingDepth) + "z\r\n", 0), 0u);
    bool passed = false;
    EXPECT_EQ(FindPart(m.Root(), passed, nullptr, "Subject", "bottom"), nullptr);   // not parsed that deep
}

TEST(StoredPartHostile, NestingBelowTheCapIsSplitCompletely) {
    Message m(Nested(10));
    bool passed = false;
    const Part* bottom = FindPart(m.Root(), passed, nullptr, "Subject", "bottom");
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(Body(*bottom), "leaf\r\n");   // the line break before the delimiter line belongs to it
}

TEST(StoredPartHostile, ThousandsOfHeaderLinesBeforeTheBoundaryStillSplit) {
    std::string text = "Subject: many\r\n";
    for (int i = 0; i < 5000; ++i) text += "To: a@b\r\n";
    text += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
            "--b\r\nContent-Disposition: attachment; filename=x\r\n\r\nX\r\n--b--\r\n";
    const Message m(text);
    EXPECT_EQ(Field(m.Root(), "Subject"), "many");
    EXPECT_EQ(Field(m.Root(), "To"), "a@b");
    ASSERT_EQ(m.Root().children.size(), 1u);
    EXPECT_EQ(Field(*m.Root().children[0], "filename"), "x");
    EXPECT_EQ(Body(*m.Root().children[0]), "X");
}

TEST(StoredPartHostile, ManyDelimiterLinesMakeManyEmptyChildren) {
    std::string text = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n";
    for (int i = 0; i < 20000; ++i) text += "--b\r\n";
    Message m(text);
    EXPECT_EQ(m.Root().children.size(), 20000u);
}

TEST(StoredPartHostile, TruncatedMessagesOfEveryLengthStayInsideTheirBytes) {
    for (std::size_t n = 0; n <= kNested.size(); ++n) {
        Message m(kNested.substr(0, n));
        std::vector<const Part*> stack = {&m.Root()};
        while (!stack.empty()) {
            const Part* p = stack.back();
            stack.pop_back();
            if (p->bodyBegin != nullptr) {
                ASSERT_GE(p->bodyBegin, m.Begin());
                ASSERT_LE(p->bodyBegin, p->bodyEnd);
                ASSERT_LE(p->bodyEnd, m.End());
            }
            Decoded(*p);
            for (const auto& c : p->children) stack.push_back(c.get());
        }
    }
}

TEST(StoredPartHostile, LineFeedFreeAndHeaderOnlyInputs) {
    Message a(std::string(10000, 'x'));
    EXPECT_TRUE(a.Root().fields.empty());
    EXPECT_EQ(Body(a.Root()), "");
    Message b(std::string(5000, '\n'));   // the first line is empty: body is the rest
    EXPECT_EQ(b.Root().BodySize(), 4999u);
    Message c("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n" + std::string(300, '-') + "\r\n");
    ASSERT_EQ(c.Root().children.size(), 1u);   // a line of dashes does not begin with "--b": the part runs to the end
    EXPECT_EQ(c.Root().children[0]->bodyEnd, c.End());
}

}  // namespace
}  // namespace tarnwick::mime::stored
