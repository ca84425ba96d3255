// The text of HTML bodies (mime/HtmlText.h): a hand-made case for each rule,
// character references, the charset of a <meta>, hostile input, and every
// HTML body of the corpus against Python's html.parser
// (tests/data/html-text/reference.txt, written by tests/html-text-reference.py).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "mime/HtmlText.h"
#include "tests/unit/TestFiles.h"
#include "text/Charsets.h"

namespace tarnwick::mime {
namespace {

std::string Utf8(std::u16string_view text) { return text::ToUtf8(text); }

struct TextCase {
    const char* rule;
    std::u16string html;
    std::u16string text;
};

// What each rule does, one case or a few each.
const TextCase kTextCases[] = {
    // What gives nothing.
    {"head", u"<html><head><title>T</title><meta charset=utf-8></head><body>Hi</body></html>", u"Hi\r\n"},
    {"body ends an open head", u"<head><title>T</title><body>Hi", u"Hi\r\n"},
    {"script is raw text", u"a<script>if (x < 1 && y > 2) document.write(\"<p>no</p><!--\");</script>b",
     u"ab\r\n"},
    {"script end tag in any case, blanks", u"a<SCRIPT type=\"text/javascript\">x</ScRiPt >b", u"ab\r\n"},
    {"only its own end tag ends a script", u"a<script>x</style>y</scriptx>z</script >b", u"ab\r\n"},
    {"style", u"<style>p { color: red; }</style>Text", u"Text\r\n"},
    {"unclosed script drops the rest", u"a<script>b</p>c", u"a\r\n"},
    {"self-closed script holds nothing", u"<script/>a", u"a\r\n"},
    {"comment", u"a<!-- <p>b</p> -->c", u"ac\r\n"},
    {"comment closed with blanks", u"a<!-- x -- >b", u"ab\r\n"},
    {"declarations and the like", u"<!DOCTYPE html><?xml version=\"1.0\"?><![if !x]>-<![endif]>x", u"-x\r\n"},
    // Line ends and list items.
    {"br, hr", u"a<br>b<BR/>c<hr>d", u"a\r\nb\r\nc\r\nd\r\n"},
    {"end tags that end a line", u"<p>one</p><div>two</div><h1>3</h1><h6 >4</h6 >x<p/>5",
     u"one\r\ntwo\r\n3\r\n4\r\nx\r\n5\r\n"},
    {"table rows, not cells", u"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", u"ab\r\nc\r\n"},
    {"list items", u"<ul><li>one</li><li>two</ul><ol><li>a<li>b</ol>", u"- one\r\n- two\r\n- a\r\n- b\r\n"},
    {"empty list items", u"a<li></li><li/>b", u"a\r\n-\r\n-\r\nb\r\n"},
    {"one empty line at most", u"<p>a</p><p></p><p></p><p>b</p>a<br><br>b", u"a\r\n\r\nb\r\na\r\n\r\nb\r\n"},
    {"no empty line first or last", u"<br><br>a<br><br><br>", u"a\r\n"},
    {"a line of no-break spaces is empty", u"a<p>&nbsp;</p><p>&nbsp;</p>b", u"a\r\n\r\nb\r\n"},
    // Blanks.
    {"blanks collapse", u"  a \t\r\n\f b  ", u"a b\r\n"},
    {"across tags", u"a<b> b </b> c<i>d</i>e", u"a b cde\r\n"},
    {"none at a line's ends", u"<p>  x  </p><li>  y  </li>", u"x\r\n- y\r\n"},
    {"decoded blanks collapse too", u"a&#10;&#9;&#13;b", u"a b\r\n"},
    {"no-break spaces stay inside", u"a&nbsp; &nbsp;b&nbsp;", u"a\u00A0 \u00A0b\r\n"},
    // References (more in kReferenceCases).
    {"references", u"&lt;p&gt; &amp; &AMP; &copy &notin; &notit; &ampx &#65;&#x42;&#128;",
     u"<p> & & \u00A9 \u2209 \u00ACit; &x AB\u20AC\r\n"},
    {"not across tags", u"&am<b></b>p;", u"&amp;\r\n"},
    {"no decoding in a tag name cut by NUL", std::u16string(u"a<b&amp;\0c", 10),
     std::u16string(u"a<b&amp;\0c\r\n", 12)},
    // Markup.
    {"'>' quoted in attributes", u"<a title=\"x>y\" href='a>b'>link</a>", u"link\r\n"},
    {"'<' without a letter, '/', '!', '?'", u"a < b <3 <=c <", u"a < b <3 <=c <\r\n"},
    {"end tag with blanks after '</'", u"a</ p>b", u"a\r\nb\r\n"},
    {"'</>' and '</3 ...>' are dropped", u"a</>b</3 x>c", u"abc\r\n"},
    {"NUL after a tag name: the name is text", std::u16string(u"a<b\0c>d", 7), std::u16string(u"a<b\0c>d\r\n", 9)},
    {"an unquoted '/' belongs to the value", u"x<a href=x/>y<p a='b'/>z", u"xy\r\nz\r\n"},
    // Unterminated at the end: text up to the first '>' after the '<'.
    {"start tag", u"a<img src=\"x", u"a<img src=\"x\r\n"},
    {"start tag with '>' in an open quote", u"a<b c='x>y", u"a<b c='x>y\r\n"},
    {"start tag, markup after it read again", u"<a href=\"x>y</a><br>z", u"<a href=\"x>y\r\nz\r\n"},
    {"end tag", u"a</p", u"a</p\r\n"},
    {"comment", u"a<!-- b > c &amp; d", u"a<!-- b > c & d\r\n"},
    {"declaration", u"a<!DOCTYPE html", u"a<!DOCTYPE html\r\n"},
};

TEST(HtmlTextTest, Rules) {
    for (const TextCase& c : kTextCases) {
        EXPECT_EQ(Utf8(HtmlToText(c.html)), Utf8(c.text)) << c.rule;
    }
}

struct ReferenceCase {
    std::u16string in;
    std::u16string out;
};

// As html.unescape decodes them.
const ReferenceCase kReferenceCases[] = {
    {u"&amp;&amp&AMP;&AMP&lt&gt;&quot", u"&&&&<>\""},
    {u"&notin;&notin&notit;&nota", u"\u2209\u00ACin\u00ACit;\u00ACa"},   // the longest old name that starts it
    {u"&copyright &Eacuteb", u"\u00A9right \u00C9b"},
    {u"&hellip;&hellip &NotEqualTilde;&Afr;&fjlig;", u"\u2026&hellip \u2242\u0338\U0001D504fj"},
    {u"&CounterClockwiseContourIntegral;", u"\u2233"},   // the longest name
    {u"&unknown; &; &#; &#x; &#xg; & b &", u"&unknown; &; &#; &#x; &#xg; & b &"},
    {u"&#65;&#x41;&#X41;&#65&#x41 &#0065;", u"AAAAA A"},
    {u"&#128;&#x80;&#150;&#159;&#129;", u"\u20AC\u20AC\u2013\u0178\u0081"},   // windows-1252, 129 has no character
    {u"&#0;&#xD800;&#xDFFF;&#x110000;&#99999999999999999999;", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {u"a&#1;&#x7F;&#xFDD0;&#xFFFF;&#x10FFFF;b", u"ab"},   // controls and noncharacters
    {u"&#13;&#10;&#x1F600;", u"\r\n\U0001F600"},
    {u"&lt\U0001F600&amp;\u00E9", u"<\U0001F600&\u00E9"},
};

TEST(HtmlTextTest, CharacterReferences) {
    for (const ReferenceCase& c : kReferenceCases) {
        EXPECT_EQ(Utf8(DecodeCharacterReferences(c.in)), Utf8(c.out)) << Utf8(c.in);
    }
}

TEST(HtmlTextTest, DeclaredCharset) {
    const struct {
        const char* html;
        const char* charset;
    } cases[] = {
        {"<html><head><meta charset=\"utf-8\">", "utf-8"},
        {"<META CHARSET=GB2312>", "GB2312"},
        {"<meta/charset=' euc-kr '/>", "euc-kr"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", "big5"},
        {"<meta content='text/html;charset=\"koi8-r\"' HTTP-EQUIV=content-type>", "koi8-r"},
        {"<meta content=\"text/html; CharSet = windows-1251 ; x\" http-equiv=\"content-type\">", "windows-1251"},
        {"<meta name=\"x\" content=\"charset=no\"><p>", ""},   // no http-equiv
        {"<!-- <meta charset=x> --><meta charset=y>", "y"},
        {"<a title='<meta charset=x>'><meta charset=\"iso-8859-2\">", "iso-8859-2"},
        {"<meta charset=\"\"><meta charset=ok>", "ok"},
        {"<metadata charset=x><p>none</p>", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlDeclaredCharset(c.html), c.charset) << c.html;
}

std::u16string Repeat(std::u16string_view unit, std::size_t size) {
    std::u16string out;
    while (out.size() < size) out.append(unit);
    return out;
}

// Input built to make a scanner read the same text again and again
// (html.parser takes quadratic time on most of these) must take linear time
// here: 100,000 units of each, alone and after an open quote, in well under
// the time a quadratic scan would need even unsanitized. The text also stays
// within the bound HtmlText.h gives.
TEST(HtmlTextTest, HostileInputTakesLinearTime) {
    const std::u16string_view units[] = {
        u"<!--",        u"<a ",       u"<a",          u"<b y=\"> \" ",    u"<a x='",    u"<a x=\"'",
        u"<![if ",      u"<![CDATA[", u"</a",         u"<?",              u"<!doctype", u"<a b==",
        u"<a'x'=\"y",   u"x'",        u"<a b='>' c=", u"&notit&#x1F600", u"<li/>",     u"<a\0",
        u"<x a=\"'>\" ", u"/b=<c",
    };
    for (const std::u16string_view unit : units) {
        for (const std::u16string_view before : {u"", u"<a b='"}) {
            const std::u16string html = std::u16string(before) + Repeat(unit, 100000);
            const auto start = std::chrono::steady_clock::now();
            const std::u16string text = HtmlToText(html);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_LT(seconds, 5.0) << Utf8(before) << Utf8(unit);
            EXPECT_LE(text.size(), html.size() + 2) << Utf8(before) << Utf8(unit);
        }
    }
    const std::u16string script = u"a<script>" + Repeat(u"</scrip <p>x</p> ", 100000);
    EXPECT_EQ(Utf8(HtmlToText(script)), "a\r\n");
}

// "%XX" back to bytes.
std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '%' && k + 2 < text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(k + 1, 2)), nullptr, 16));
            k += 2;
        } else {
            out += text[k];
        }
    }
    return out;
}


struct Body {
    std::string path, charset, html, text, failed;
};

std::vector<Body> ReadReference() {
    // TARNWICK_CORPUS_DIR is tests/data/corpus.
    const std::string file = std::string(TARNWICK_CORPUS_DIR) + "/../html-text/reference.txt";
    const std::string data = test::ReadFile(file);
    std::vector<Body> bodies;
    std::size_t p = 0;
    while (p < data.size()) {
        std::size_t end = data.find('\n', p);
        if (end == std::string::npos) end = data.size();
        const std::string line = data.substr(p, end - p);
        p = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const std::string value = line.size() > 2 ? Unescape(line.substr(2)) : "";
        if (line[0] == 'M') {
            bodies.push_back({line.substr(2), "", "", "", ""});
        } else if (bodies.empty()) {
            ADD_FAILURE() << file << ": a line before the first M: " << line;
        } else if (line[0] == 'C') {
            bodies.back().charset = value;
        } else if (line[0] == 'H') {
            bodies.back().html = value;
        } else if (line[0] == 'T') {
            bodies.back().text = value;
        } else if (line[0] == 'E') {
            bodies.back().failed = value;
        } else {
            ADD_FAILURE() << file << ": unknown line " << line;
        }
    }
    return bodies;
}

TEST(HtmlTextTest, CorpusBodiesAsPythonReadsThem) {
    const std::vector<Body> bodies = ReadReference();
    ASSERT_GE(bodies.size(), 30u);
    std::size_t identical = 0, normalised = 0, skipped = 0;
    for (const Body& body : bodies) {
        EXPECT_EQ(HtmlDeclaredCharset(body.html), body.charset) << body.path;
        if (!body.failed.empty()) {   // html.parser gave up: nothing to compare with
            ++skipped;
            continue;
        }
        const std::u16string html = text::FromUtf8(body.html);
        const std::u16string text = HtmlToText(html);
        EXPECT_LE(text.size(), html.size() + 2) << body.path;
        const std::string actual = Utf8(text);
        if (actual == body.text) {
            ++identical;
        } else if (test::BlanksNormalised(actual) == test::BlanksNormalised(body.text)) {
            ++normalised;
        } else {
            ADD_FAILURE() << body.path << ": differs from Python's\n--- Python:\n"
                          << body.text << "--- HtmlToText:\n" << actual;
        }
    }
    std::printf("[          ] %zu HTML bodies: %zu identical to Python's text, %zu equal with blanks normalised, "
                "%zu that html.parser gave up on\n",
                bodies.size(), identical, normalised, skipped);
}

}  // namespace
}  // namespace tarnwick::mime
