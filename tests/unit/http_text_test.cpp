#include "host/site/UrlText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace tarnwick::host {
namespace {

TEST(HttpTextPercentDecode, DecodesEscapesAndLeavesBrokenOnes) {
    struct Case {
        std::string text;
        bool plusIsSpace;
        std::string expected;
    } cases[] = {
        {"", true, ""},
        {"a%20b", false, "a b"},
        {"%41%6a%6A%4f", false, "AjjO"},
        {"a+b", true, "a b"},
        {"a+b", false, "a+b"},
        {"%2B+", true, "+ "},
        {"%", false, "%"},
        {"%4", false, "%4"},
        {"a%2", false, "a%2"},
        {"%zz%g1%1g", false, "%zz%g1%1g"},
        {"%%41", false, "%A"},
        {"%%%", false, "%%%"},
        {"100%", false, "100%"},
        {"%00", false, std::string(1, '\0')},
        {"a%00b", true, std::string("a\0b", 3)},
        {"%D6%D0%ce%c4", false, "\xD6\xD0\xCE\xC4"},
        {"%FF%80", false, "\xFF\x80"},
        {"\xD6\xD0", false, "\xD6\xD0"},
        {"%252F", false, "%2F"},  // decoded once only
    };
    for (const Case& c : cases) EXPECT_EQ(PercentDecode(c.text, c.plusIsSpace), c.expected) << c.text;
}

TEST(HttpTextUrlEncode, KeepsLettersAndDigitsOnly) {
    struct Case {
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"AZaz09", "AZaz09"},
        {"a b", "a+b"},
        {"-_.~!*'()", "%2D%5F%2E%7E%21%2A%27%28%29"},
        {"a+b=c&d", "a%2Bb%3Dc%26d"},
        {"\xD6\xD0", "%D6%D0"},
        {std::string(1, '\0'), "%00"},
        {"\r\n\xFF", "%0D%0A%FF"},
        {"%", "%25"},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.bytes), c.expected) << c.bytes;
}

TEST(HttpTextUrlEncode, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string encoded = UrlEncode(all);
    EXPECT_EQ(PercentDecode(encoded, true), all);
    // What comes out is safe in a query string.
    for (char c : encoded) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '%' || c == '+') << c;
}

TEST(HttpTextParseUrlEncoded, SplitsOnAmpersandAndFirstEquals) {
    struct Case {
        std::string text;
        NameValues expected;
    } cases[] = {
        {"", {}},
        {"&&&", {}},
        {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
        {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
        {"&a", {{"a", ""}}},
        {"a", {{"a", ""}}},
        {"a=", {{"a", ""}}},
        {"=1", {{"", "1"}}},
        {"a=1=2", {{"a", "1=2"}}},
        {"a=1;b=2", {{"a", "1;b=2"}}},
        {"a=1&a=2&a=1", {{"a", "1"}, {"a", "2"}, {"a", "1"}}},
        {"n%20m=v+w%26x%3D", {{"n m", "v w&x="}}},
        {"n+m=%2B", {{"n m", "+"}}},
        // An encoded '&' or '=' does not split.
        {"a%3D1%261=2", {{"a=1&1", "2"}}},
        {"q=%D6%D0%CE%C4", {{"q", "\xD6\xD0\xCE\xC4"}}},
        {"z=%00", {{"z", std::string(1, '\0')}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUrlEncoded(c.text), c.expected) << c.text;
}

TEST(HttpTextParseCookieHeader, SplitsOnSemicolonsAndTrims) {
    struct Case {
        std::string header;
        NameValues expected;
    } cases[] = {
        {"", {}},
        {" ; ;;", {}},
        {"a=1; b=2", {{"a", "1"}, {"b", "2"}}},
        {"  a = 1 ;b=2 ;;\tc\t", {{"a", "1"}, {"b", "2"}, {"c", ""}}},
        {"x=%41+%20", {{"x", "A+ "}}},
        {"a=1=2", {{"a", "1=2"}}},
        {"a=1&b=2", {{"a", "1&b=2"}}},
        {"s=%D6%D0; s=2", {{"s", "\xD6\xD0"}, {"s", "2"}}},
        {"=v", {{"", "v"}}},
        // Names are tokens and are not decoded.
        {"a%20b=1", {{"a%20b", "1"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCookieHeader(c.header), c.expected) << c.header;
}

TEST(HttpTextToSitePath, NormalisesAcceptedPaths) {
    struct Case {
        std::string raw;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"/", ""},
        {"//./", ""},
        {"/index.asp", "index.asp"},
        {"index.asp", "index.asp"},
        {"/a//b/./c.asp", "a/b/c.asp"},
        {"/a/b/", "a/b"},
        {"/a%20b/c.asp", "a b/c.asp"},
        {"/a+b.asp", "a+b.asp"},
        {"/a%2Fb", "a/b"},
        {"/a/.hidden", "a/.hidden"},
        {"/a/..b/b..c/...x", "a/..b/b..c/...x"},
        {"/%D6%D0%CE%C4.asp", "\xD6\xD0\xCE\xC4.asp"},
        // 0x5C is the second byte of this character, not a backslash.
        {"/\xB1\x5C.asp", "\xB1\x5C.asp"},
        {"/%B1%5C/x", "\xB1\x5C/x"},
        {"/\x81\x81\x81\x5C", "\x81\x81\x81\x5C"},
        // A lead byte without a second byte does not swallow the separator.
        {"/\xB1/x", "\xB1/x"},
        {"/a%25b", "a%b"},
        {"/a'b&c=d;e", "a'b&c=d;e"},
    };
    for (const Case& c : cases) {
        std::string sitePath = "unchanged";
        ASSERT_TRUE(ToSitePath(c.raw, sitePath)) << c.raw;
        EXPECT_EQ(sitePath, c.expected) << c.raw;
    }
}

TEST(HttpTextToSitePath, RefusesEscapesAndNamesWindowsWouldChange) {
    const std::string refused[] = {
        "/..",
        "/../a",
        "/a/../b",
        "/a/..",
        "a/b/../../..",
        "/%2E%2E/a",
        "/%2e%2e",
        "/a%2F..%2Fb",
        "/.%2E/x",
        "/a\\b",
        "/a%5Cb",
        "/a%5c..%5cb",
        "/\\\\server\\share",
        "/c:/x",
        "/a%3Ab",
        "/x.asp::$DATA",
        std::string("/a\0b", 4),
        "/a%00b",
        "/a%00",
        "/a%0Ab",
        "/a%0D",
        "/a%09b",
        "/a%1F",
        "/a%7F",
        "/a.",
        "/a./b",
        "/x.asp.",
        "/x.asp%2E",
        "/a%20",
        "/a /b",
        "/a<b",
        "/a%3Eb",
        "/a%22b",
        "/a|b",
        "/a%3Fb",
        "/a*b",
        "/a%2A",
        // The first pair is 0x81 0x81; the final 0x5C stands alone.
        "/\x81\x81\x5C",
        "/\xB1\x5C\x5C",
        // 0x7F is no second byte: the lead stands alone and 0x7F is refused.
        "/\xB1\x7F",
        "/\xB1/..",
    };
    for (const std::string& raw : refused) {
        std::string sitePath;
        EXPECT_FALSE(ToSitePath(raw, sitePath)) << raw;
    }
}

TEST(HttpTextResolveInclude, ResolvesAgainstFolderOrRoot) {
    struct Case {
        std::string including;
        std::string reference;
        bool isVirtual;
        std::string expected;
    } cases[] = {
        {"a/b.asp", "c.inc", false, "a/c.inc"},
        {"b.asp", "c.inc", false, "c.inc"},
        {"a/b.asp", "inc/c.inc", false, "a/inc/c.inc"},
        {"a/b.asp", "inc\\c.inc", false, "a/inc/c.inc"},
        {"a/b.asp", "./c.inc", false, "a/c.inc"},
        {"a/b.asp", "../common.inc", false, "common.inc"},
        {"a/b/c.asp", "..\\..\\x.inc", false, "x.inc"},
        {"a/b.asp", "x/../y.inc", false, "a/y.inc"},
        {"a/b.asp", "x/../../y.inc", false, "y.inc"},
        // A leading separator in file= does not reach the root.
        {"a/b.asp", "/c.inc", false, "a/c.inc"},
        {"a/b.asp", "/x.inc", true, "x.inc"},
        {"a/b.asp", "x.inc", true, "x.inc"},
        {"a/b.asp", "\\x\\y.inc", true, "x/y.inc"},
        {"a/b.asp", "/x/../y.inc", true, "y.inc"},
        {"", "x.inc", false, "x.inc"},
        // References are not percent-encoded.
        {"a/b.asp", "%2E%2E/x.inc", false, "a/%2E%2E/x.inc"},
        {"a/b.asp", "x+y.inc", false, "a/x+y.inc"},
        // A second byte 0x5C stays; a real backslash separates.
        {"a/b.asp", "\xB1\x5C.inc", false, "a/\xB1\x5C.inc"},
        {"a/b.asp", "\xB1\x5C\\x.inc", false, "a/\xB1\x5C/x.inc"},
        {"\xD6\xD0/b.asp", "c.inc", false, "\xD6\xD0/c.inc"},
    };
    for (const Case& c : cases) {
        std::string sitePath;
        ASSERT_TRUE(ResolveInclude(c.including, c.reference, c.isVirtual, sitePath)) << c.reference;
        EXPECT_EQ(sitePath, c.expected) << c.including << " + " << c.reference;
    }
}

TEST(HttpTextResolveInclude, RefusesPathsLeavingTheSiteOrBadNames) {
    struct Case {
        std::string including;
        std::string reference;
        bool isVirtual;
    } cases[] = {
        {"a/b.asp", "../../x.inc", false},
        {"b.asp", "../x.inc", false},
        {"a/b.asp", "..\\..\\x.inc", false},
        {"a/b.asp", "/../x.inc", true},
        {"a/b.asp", "../x.inc", true},
        {"a/b.asp", "x/../../../y.inc", false},
        {"a/b.asp", "c:\\x.inc", false},
        {"a/b.asp", "c:x.inc", true},
        {"a/b.asp", "x.inc.", false},
        {"a/b.asp", "x.inc ", false},
        {"a/b.asp", "x. /y.inc", false},
        {"a/b.asp", "x<y", false},
        {"a/b.asp", "x|y", false},
        {"a/b.asp", "x?y", false},
        {"a/b.asp", "x*y", false},
        {"a/b.asp", "x\"y", false},
        {"a/b.asp", "x\ny", false},
        {"a/b.asp", std::string("x\0y", 3), false},
        {"a/b.asp", "x\x7Fy", false},
        // The including path is held to the same rules.
        {"../b.asp", "c.inc", false},
        {"a:/b.asp", "c.inc", false},
    };
    for (const Case& c : cases) {
        std::string sitePath;
        EXPECT_FALSE(ResolveInclude(c.including, c.reference, c.isVirtual, sitePath))
            << c.including << " + " << c.reference;
    }
}

TEST(HttpTextContentType, MapsExtensionsWithoutCase) {
    struct Case {
        std::string name;
        std::string type;
    } cases[] = {
        {"index.html", "text/html"},
        {"A.HTM", "text/html"},
        {"s.css", "text/css"},
        {"app.Js", "application/javascript"},
        {"d.json", "application/json"},
        {"r.txt", "text/plain"},
        {"x.xml", "text/xml"},
        {"i.png", "image/png"},
        {"p.JPG", "image/jpeg"},
        {"p.jpeg", "image/jpeg"},
        {"g.gif", "image/gif"},
        {"favicon.ico", "image/x-icon"},
        {"v.svg", "image/svg+xml"},
        {"d.pdf", "application/pdf"},
        {"z.zip", "application/zip"},
        {"m.wasm", "application/wasm"},
        {"dir/sub/a.css", "text/css"},
        {"dir\\a.css", "text/css"},
        {"\xD6\xD0.txt", "text/plain"},
        {"noext", "application/octet-stream"},
        {"", "application/octet-stream"},
        {"file.", "application/octet-stream"},
        {"dir.html/file", "application/octet-stream"},
        {"dir.css\\file", "application/octet-stream"},
        {"page.asp", "application/octet-stream"},
        {"a.tar.gz", "application/octet-stream"},
        {"a.html.bak", "application/octet-stream"},
        {"a.htmlx", "application/octet-stream"},
        {"a.ht", "application/octet-stream"},
        {"html", "application/octet-stream"},
    };
    for (const Case& c : cases) EXPECT_EQ(ContentTypeFor(c.name), c.type) << c.name;
}

TEST(HttpTextReasonPhrase, KnowsTheStandardPhrases) {
    struct Case {
        int status;
        std::string phrase;
    } cases[] = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {204, "No Content"},
        {206, "Partial Content"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {408, "Request Timeout"},
        {411, "Length Required"},
        {413, "Payload Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {431, "Request Header Fields Too Large"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {0, "Unknown"},
        {-404, "Unknown"},
        {299, "Unknown"},
        {418, "Unknown"},
        {504, "Unknown"},
        {600, "Unknown"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReasonPhrase(c.status), c.phrase) << c.status;
}

TEST(HttpTextParseStatusLine, ReadsCodeAndReason) {
    struct Case {
        std::string text;
        int status;
        std::string reason;
    } cases[] = {
        {"404 Not Found", 404, "Not Found"},
        {"302", 302, "Found"},
        {"  200   OK  ", 200, "OK"},
        {"200 Very Fine", 200, "Very Fine"},
        {"201  Made  It ", 201, "Made  It"},
        {"500\tOops", 500, "Oops"},
        {"299", 299, "Unknown"},
        {"599 x", 599, "x"},
        {"401 \xD6\xD0\xCE\xC4", 401, "\xD6\xD0\xCE\xC4"},
    };
    for (const Case& c : cases) {
        int status = 0;
        std::string reason;
        ASSERT_TRUE(ParseStatusLine(c.text, status, reason)) << c.text;
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(reason, c.reason) << c.text;
    }
}

TEST(HttpTextParseStatusLine, RefusesBadCodesAndLineBreaks) {
    const std::string refused[] = {
        "",
        "   ",
        "20",
        "99 Low",
        "100 Continue",
        "199",
        "099 Low",
        "600 High",
        "999",
        "000",
        "abc",
        "OK 200",
        "2000",
        "200OK",
        "200-OK",
        "-200",
        "+200",
        "4O4 Not Found",
        "20 0",
        // A line break in the reason would start a header of its own.
        "200 OK\r\nSet-Cookie: a=1",
        "200 O\nK",
        "200 OK\r",
        std::string("200 O\0K", 7),
        "200 O\x7FK",
    };
    for (const std::string& text : refused) {
        int status = 0;
        std::string reason;
        EXPECT_FALSE(ParseStatusLine(text, status, reason)) << text;
    }
}


// n header lines "X-Hi: v" after a request line, then the empty line.
std::string HeadWithLines(size_t n) {
    std::string head = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i < n; ++i) head += "X-H" + std::to_string(i) + ": v\r\n";
    return head + "\r\n";
}

TEST(HttpTextRequestHeadScanner, FindsTheHeadEndOrRefusesEarly) {
    const std::string get = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
    struct Case {
        std::string data;
        HeadScan expected;
        size_t sizeOrStatus;  // the head's size when Complete, the status when Refused
    } cases[] = {
        {get, HeadScan::Complete, get.size()},
        {get + "BODY", HeadScan::Complete, get.size()},
        {"\r\n\r\n" + get, HeadScan::Complete, get.size() + 4},
        {"", HeadScan::NeedMore, 0},
        {"\r\n", HeadScan::NeedMore, 0},
        {"GET / HTTP/1.1\r\n", HeadScan::NeedMore, 0},
        {"GET / HTTP/1.1\r\nHost: a\r\n\r", HeadScan::NeedMore, 0},
        {"GET / HTTP/1.1\nHost: a\n\n", HeadScan::Refused, 400},
        {"GET / HTTP/1.1\r\nHost: a\n", HeadScan::Refused, 400},
        {"GET / HTTP/1.1\r\nHost: a\r\n\n", HeadScan::Refused, 400},
        {"\n", HeadScan::Refused, 400},
        {HeadWithLines(kMaxHeaderLines), HeadScan::Complete, HeadWithLines(kMaxHeaderLines).size()},
        {HeadWithLines(kMaxHeaderLines + 1), HeadScan::Refused, 431},
        // Refused before the head ends.
        {HeadWithLines(3000).substr(0, 4000), HeadScan::Refused, 431},
        {"GET /" + std::string(kMaxRequestLineBytes, 'a'), HeadScan::Refused, 414},
        {"GET /" + std::string(kMaxRequestLineBytes - 16, 'a'), HeadScan::NeedMore, 0},
        {"GET / HTTP/1.1\r\nX: " + std::string(kMaxHeaderLineBytes, 'h'), HeadScan::Refused, 431},
        {"GET / HTTP/1.1\r\nX: " + std::string(kMaxHeaderLineBytes - 3, 'h') + "\r\n", HeadScan::NeedMore, 0},
        {"GET / HTTP/1.1\r\nX: " + std::string(kMaxHeaderLineBytes - 2, 'h') + "\r\n", HeadScan::Refused, 431},
    };
    for (const Case& c : cases) {
        RequestHeadScanner scanner;
        const HeadScan got = scanner.Scan(c.data);
        EXPECT_EQ(got, c.expected) << c.data.substr(0, 80);
        if (got != c.expected) continue;
        if (got == HeadScan::Complete) {
            EXPECT_EQ(scanner.HeadSize(), c.sizeOrStatus);
        } else if (got == HeadScan::Refused) {
            EXPECT_EQ(scanner.Refusal(), static_cast<int>(c.sizeOrStatus)) << c.data.substr(0, 80);
        }
    }
}

TEST(HttpTextRequestHeadScanner, RefusesManyEmptyLinesBeforeTheRequest) {
    std::string data;
    for (size_t i = 0; i < kMaxHeadBytes / 2 + 1; ++i) data += "\r\n";
    RequestHeadScanner scanner;
    EXPECT_EQ(scanner.Scan(data), HeadScan::Refused);
    EXPECT_EQ(scanner.Refusal(), 431);
}

TEST(HttpTextRequestHeadScanner, ReadsAHeadArrivingByteByByte) {
    const std::string head = "POST /f.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\n";
    RequestHeadScanner scanner;
    std::string data;
    for (size_t i = 0; i + 1 < head.size(); ++i) {
        data += head[i];
        ASSERT_EQ(scanner.Scan(data), HeadScan::NeedMore) << i;
    }
    data += head.back();
    data += "abc";
    ASSERT_EQ(scanner.Scan(data), HeadScan::Complete);
    EXPECT_EQ(scanner.HeadSize(), head.size());

    RequestHeadScanner bare;
    data.clear();
    for (char c : std::string("GET / HTTP/1.1\r\nHost: a\n")) {
        data += c;
        if (bare.Scan(data) != HeadScan::NeedMore) break;
    }
    EXPECT_EQ(data.size(), 24u);   // refused at the bare LF, not later
    EXPECT_EQ(bare.Refusal(), 400);
}

TEST(HttpTextParseRequestHead, AnswersTheStatusOfEachFramingRule) {
    const std::string line = "POST /a.asp?x=1 HTTP/1.1\r\n";
    const std::string big(16000, 'h');
    struct Case {
        std::string head;
        int expected;
    } cases[] = {
        {line + "Host: a\r\n\r\n", 0},
        {"\r\n" + line + "Host: a\r\n\r\n", 0},
        {line + "Content-Length: 5\r\n\r\n", 0},
        {line + "Content-Length:\t 7 \t\r\n\r\n", 0},
        {line + "Content-Length: 0005\r\n\r\n", 0},
        {line + "X-Gbk: \xD6\xD0\r\n\r\n", 0},
        {line + "X-Empty:\r\n\r\n", 0},
        // Content-Length: one field, digits only.
        {line + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
        {line + "Content-Length: 5\r\ncontent-length: 5\r\n\r\n", 400},
        {line + "Content-Length : 5\r\n\r\n", 400},
        {line + "Content-Length\t: 5\r\n\r\n", 400},
        {line + "Content-Length: +5\r\n\r\n", 400},
        {line + "Content-Length: -5\r\n\r\n", 400},
        {line + "Content-Length: 5, 5\r\n\r\n", 400},
        {line + "Content-Length: 5 5\r\n\r\n", 400},
        {line + "Content-Length: 0x10\r\n\r\n", 400},
        {line + "Content-Length:\r\n\r\n", 400},
        {line + "Content-Length: 1e3\r\n\r\n", 400},
        {line + "Content-Length: 11\r\n\r\n", 413},
        {line + "Content-Length: 99999999999999999999999999\r\n\r\n", 413},
        {line + "Transfer-Encoding: chunked\r\n\r\n", 411},
        {line + "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n", 411},
        // Folded lines, bare LF, field syntax.
        {line + "X-A: 1\r\n 2\r\n\r\n", 400},
        {line + "X-A: 1\r\n\tContent-Length: 5\r\n\r\n", 400},
        {line + " Host: a\r\n\r\n", 400},
        {line + "Host: a\n\r\n", 400},
        {"POST / HTTP/1.1\nHost: a\r\n\r\n", 400},
        {line + "X A: 1\r\n\r\n", 400},
        {line + ": 1\r\n\r\n", 400},
        {line + "NoColon\r\n\r\n", 400},
        {line + "X(A): 1\r\n\r\n", 400},
        {line + "X-A: 1\x01\r\n\r\n", 400},
        {line + "X-A: 1\r2\r\n\r\n", 400},
        {line + "X-A: 1\x7F\r\n\r\n", 400},
        {line + "Host: a\r\nHost: b\r\n\r\n", 400},
        // Not exactly one whole head.
        {line + "Host: a\r\n", 400},
        {line + "Host: a\r\n\r\nGET / HTTP/1.1\r\n\r\n", 400},
        {"", 400},
        // The request line.
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1 \r\n\r\n", 400},
        {"GET /\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 400},
        {"GET / http/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.10\r\n\r\n", 400},
        {"G@T / HTTP/1.1\r\n\r\n", 400},
        {"GET /a\x01 HTTP/1.1\r\n\r\n", 400},
        {"GET /a\tb HTTP/1.1\r\n\r\n", 400},
        {"GET /" + std::string(kMaxUrlBytes - 1, 'a') + " HTTP/1.1\r\n\r\n", 0},
        {"GET /" + std::string(kMaxUrlBytes, 'a') + " HTTP/1.1\r\n\r\n", 414},
        // Limits.
        {HeadWithLines(kMaxHeaderLines), 0},
        {HeadWithLines(kMaxHeaderLines + 1), 431},
        {line + "A: " + big + "\r\nB: " + big + "\r\nC: " + big + "\r\nD: " + big + "\r\nE: " + big.substr(0, 1600) +
             "\r\n\r\n",
         431},
        {line + "A: " + big + "\r\nB: " + big + "\r\nC: " + big + "\r\nD: " + big + "\r\n\r\n", 0},
    };
    for (const Case& c : cases) {
        RequestHead head;
        EXPECT_EQ(ParseRequestHead(c.head, 10, head), c.expected) << c.head.substr(0, 120);
    }
}

TEST(HttpTextParseRequestHead, GivesTheLineTheFieldsAndTheFraming) {
    RequestHead head;
    ASSERT_EQ(ParseRequestHead("\r\nPOST /f.asp?q=%41 HTTP/1.1\r\nHost: example.org:81 \r\nX-A:b\r\n"
                               "Content-Length: 12\r\nExpect: 100-Continue\r\n\r\n",
                               12, head),
              0);
    EXPECT_EQ(head.method, "POST");
    EXPECT_EQ(head.target, "/f.asp?q=%41");
    EXPECT_EQ(head.version, "HTTP/1.1");
    EXPECT_EQ(head.host, "example.org:81");
    EXPECT_EQ(head.contentLength, 12u);
    EXPECT_TRUE(head.expectContinue);
    EXPECT_TRUE(head.keepAlive);
    const NameValues fields = {
        {"Host", "example.org:81"}, {"X-A", "b"}, {"Content-Length", "12"}, {"Expect", "100-Continue"}};
    EXPECT_EQ(head.fields, fields);

    struct Case {
        std::string head;
        bool keepAlive;
    } cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", true},
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n", false},
        {"GET / HTTP/1.0\r\n\r\n", false},
        {"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ParseRequestHead(c.head, 0, head), 0) << c.head;
        EXPECT_EQ(head.keepAlive, c.keepAlive) << c.head;
        EXPECT_EQ(head.contentLength, 0u);
        EXPECT_FALSE(head.expectContinue);
    }
}

TEST(HttpTextHasToken, FindsATokenOfACommaList) {
    struct Case {
        std::string value;
        bool expected;
    } cases[] = {
        {"close", true},     {"Close", true},         {" keep-alive , close ", true}, {"closed", false},
        {"", false},         {"keep-alive", false},   {"x,close,y", true},            {"clo se", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HasToken(c.value, "close"), c.expected) << c.value;
}

TEST(HttpTextSitePathUrl, HasExactlyOneLeadingSlash) {
    struct Case {
        std::string sitePath;
        std::string expected;
    } cases[] = {
        {"", "/"},
        {"docs", "/docs"},
        {"a/b/c.asp", "/a/b/c.asp"},
        {"/lib", "/%2Flib"},
        {"//lib", "/%2F/lib"},
        {"a//b", "/a/%2Fb"},
        {"a b#c?d%e", "/a%20b%23c%3Fd%25e"},
        {"-._~+&=", "/-._~%2B%26%3D"},
        {"\xD6\xD0", "/%D6%D0"},
        {std::string("a\0b", 3), "/a%00b"},
        {"\\\\host", "/%5C%5Chost"},
    };
    for (const Case& c : cases) EXPECT_EQ(SitePathUrl(c.sitePath), c.expected) << c.sitePath;
}

}  // namespace
}  // namespace tarnwick::host
