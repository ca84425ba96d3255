#include "mailbox/AttachmentType.h"

#include <gtest/gtest.h>

#include <string>

#include "mailbox/stored/Reading.h"
#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"
#include "mime/stored/Part.h"

namespace tarnwick::mailbox {
namespace {

constexpr const char* kOpaque = "application/octet-stream";

TEST(SentAttachmentType, KeepsTypesThatCannotRun) {
    const struct { const char* declared; const char* sent; } cases[] = {
        {"image/png", "image/png"},
        {"IMAGE/PNG", "IMAGE/PNG"},   // kept as declared, case and all
        {"application/pdf", "application/pdf"},
        {"text/plain", "text/plain"},
        {"text/csv", "text/csv"},
        {"application/json", "application/json"},
        {"application/vnd.openxmlformats-officedocument.wordprocessingml.document",
         "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"application/xml-dtd", "application/xml-dtd"},
        {"application/octet-stream", "application/octet-stream"},
        {"image/png ", "image/png"},   // the blanks around are not part of it
        {" \timage/png\t", "image/png"},
    };
    for (const auto& c : cases) EXPECT_EQ(SentAttachmentType(c.declared), c.sent) << '[' << c.declared << ']';
}

TEST(SentAttachmentType, SendsWhatCouldRunAsBytes) {
    const char* cases[] = {
        // documents that hold script, and script
        "text/html", "application/xhtml+xml", "image/svg+xml", "text/xml", "application/xml", "text/xsl",
        "text/javascript", "application/javascript", "application/ecmascript", "text/ecmascript",
        "application/x-javascript", "text/jscript", "text/javascript1.5", "text/vbscript",
        "application/x-shockwave-flash", "message/rfc822", "application/hta", "text/x-scriptlet",
        "application/java-archive", "application/x-java-applet", "application/x-silverlight-app",
        "application/futuresplash",
        // any +xml subtype, any multipart
        "application/rss+xml", "application/atom+xml", "application/x-anything+xml",
        "multipart/mixed", "multipart/x-mixed-replace", "Multipart/Related",
        // letter case
        "TEXT/HTML", "Text/Html", "IMAGE/SVG+XML", "application/RSS+XML",
        // blanks inside, parameters, lists, quotes, comments
        "text/ html", "text /html", "text/html; charset=utf-8", "text/html;", "text/plain, text/html",
        "\"text/html\"", "text/html (comment)", "text/html x",
        // control and non-ASCII bytes
        "text/html\x01", "text/html\r\n", "text/html\v", "text/h\x7Ftml", "text/html\xA0", "\xEF\xBC\xB4" "ext/html",
        // a missing or malformed type or subtype
        "", " ", "text", "text/", "/html", "html", "text/html/", "text//html", "text/@html",
    };
    for (const char* declared : cases) EXPECT_EQ(SentAttachmentType(declared), kOpaque) << '[' << declared << ']';
}

// Both readers give the rule the type a part declares; the HTML attachment of
// a message never reaches the page as HTML through either.
TEST(SentAttachmentType, CoversWhatBothReadersDeclare) {
    const char* headers[] = {"Content-Type: text/html", "Content-Type: TEXT/HTML; charset=utf-8",
                             "Content-Type: text/html (c)", "Content-Type:  text/html ; name=x.html",
                             "Content-Type: \"text/html\"", "Content-Type: image/svg+xml"};
    for (const char* header : headers) {
        const std::string message = std::string("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n") + header +
                                    "\r\nContent-Disposition: attachment; filename=x.html\r\n\r\n"
                                    "<script>alert(1)</script>\r\n--b--\r\n";
        const char* begin = message.data();
        const char* end = begin + message.size();
        const mime::stored::Part narrow(begin, end);
        const mime::stored::Part* a = stored::FindAttachmentByName(narrow, "x.html");
        ASSERT_NE(a, nullptr) << header;
        EXPECT_EQ(SentAttachmentType(stored::AttachmentContentType(*a)), kOpaque) << header;
        const mime::current::Part wide(begin, end);
        const mime::current::Part* b = current::FindAttachmentByName(wide, u"x.html");
        ASSERT_NE(b, nullptr) << header;
        EXPECT_EQ(SentAttachmentType(current::AttachmentContentType(*b)), kOpaque) << header;
    }
}

// A header line of the sender's own folded into the type never reaches the
// response: what is sent is one well-formed type/subtype.
TEST(SentAttachmentType, NeverCarriesAFoldedLine) {
    for (const char* fold : {"\r\n\tX-Folded: 1", "\r\n X-Folded: 1"}) {
        const std::string message = std::string("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n") +
                                    "Content-Type: image/png" + fold +
                                    "\r\nContent-Disposition: attachment; filename=x.png\r\n\r\nPNG\r\n--b--\r\n";
        const mime::stored::Part narrow(message.data(), message.data() + message.size());
        const mime::current::Part wide(message.data(), message.data() + message.size());
        ASSERT_NE(stored::FindAttachmentByName(narrow, "x.png"), nullptr);
        ASSERT_NE(current::FindAttachmentByName(wide, u"x.png"), nullptr);
        for (const std::string& sent :
             {SentAttachmentType(stored::AttachmentContentType(*stored::FindAttachmentByName(narrow, "x.png"))),
              SentAttachmentType(current::AttachmentContentType(*current::FindAttachmentByName(wide, u"x.png")))})
            EXPECT_TRUE(sent == "image/png" || sent == kOpaque) << '[' << sent << ']';
    }
}

}  // namespace
}  // namespace tarnwick::mailbox
