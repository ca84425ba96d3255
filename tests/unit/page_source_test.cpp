#include "host/site/PageSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::host {
namespace {

// Include files by site path, with a log of every read.
class Site {
public:
    void Add(const std::string& path, const std::string& bytes) { files_[path] = bytes; }
    IncludeReader Reader() {
        return [this](const std::string& path, std::string& bytes) {
            reads.push_back(path);
            auto it = files_.find(path);
            if (it == files_.end()) return false;
            bytes = it->second;
            return true;
        };
    }
    std::vector<std::string> reads;

private:
    std::map<std::string, std::string> files_;
};

// Every compiled page: one origin per script line, lines ending in "\n".
void ExpectWellFormed(const CompiledPage& page, const std::string& context) {
    const auto newlines = std::count(page.script.begin(), page.script.end(), '\n');
    EXPECT_EQ(page.lines.size(), static_cast<size_t>(newlines)) << context;
    if (!page.script.empty()) {
        EXPECT_EQ(page.script.back(), '\n') << context;
    }
    for (const SourceLine& origin : page.lines) {
        EXPECT_FALSE(origin.file.empty()) << context;
        EXPECT_GE(origin.line, 1) << context;
    }
}

struct Compiled {
    bool ok = false;
    CompiledPage page;
    PageError error;
};

Compiled Compile(const std::string& source, Site* site = nullptr, const std::string& path = "page.asp") {
    Site empty;
    Compiled result;
    result.ok = CompilePage(path, source, (site ? site : &empty)->Reader(), result.page, result.error);
    if (result.ok) ExpectWellFormed(result.page, source);
    return result;
}

std::vector<int> LineNumbers(const CompiledPage& page) {
    std::vector<int> numbers;
    for (const SourceLine& origin : page.lines) numbers.push_back(origin.line);
    return numbers;
}

std::vector<std::string> LineFiles(const CompiledPage& page) {
    std::vector<std::string> files;
    for (const SourceLine& origin : page.lines) files.push_back(origin.file);
    return files;
}

TEST(PageSourceBlocks, SplitsLiteralCodeAndExpressions) {
    struct Case {
        std::string source;
        std::string script;
        std::vector<std::string> blocks;
    } cases[] = {
        {"", "", {}},
        {"hello", "Response.WriteBlock 0\n", {"hello"}},
        {"<% If x Then %>hi<% End If %>", "If x Then\nResponse.WriteBlock 0\nEnd If\n", {"hi"}},
        {"a<%= x %>b", "Response.WriteBlock 0\nResponse.Write x\nResponse.WriteBlock 1\n", {"a", "b"}},
        // No parentheses: the comment only hides itself.
        {"<%= x ' note %>", "Response.Write x ' note\n", {}},
        {"<%=\r\n  a & b \r\n%>", "Response.Write a & b\n", {}},
        // Whitespace-only literal text is output too.
        {"<% a %> <% b %>", "a\nResponse.WriteBlock 0\nb\n", {" "}},
        {"<% a %>\r\n<% b %>", "a\nResponse.WriteBlock 0\nb\n", {"\r\n"}},
        // Adjacent blocks: no empty literal between them.
        {"<%a%><%b%><%=c%>", "a\nb\nResponse.Write c\n", {}},
        {"<% %><%\r\n\t%>", "", {}},
        {"<%\nDim x\nx = 1\n%>", "Dim x\nx = 1\n", {}},
        // Inner lines keep their indentation.
        {"<% If a Then\n    b\nEnd If %>", "If a Then\n    b\nEnd If\n", {}},
        {"line1\r\nline2\n", "Response.WriteBlock 0\n", {"line1\r\nline2\n"}},
        // A stray close and a lone '<' or '%' are text.
        {"%> a < b % c", "Response.WriteBlock 0\n", {"%> a < b % c"}},
        // The first "%>" closes the block even inside a string.
        {"<%= \"%>\" %>", "Response.Write \"\nResponse.WriteBlock 0\n", {"\" %>"}},
        {"<%%>", "", {}},
        {"<%=%>", "Response.Write \n", {}},
        {"\xD6\xD0<%= a %>\xCE\xC4", "Response.WriteBlock 0\nResponse.Write a\nResponse.WriteBlock 1\n",
         {"\xD6\xD0", "\xCE\xC4"}},
        {std::string("a\0b", 3), "Response.WriteBlock 0\n", {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        Compiled result = Compile(c.source);
        ASSERT_TRUE(result.ok) << c.source << ": " << result.error.message;
        EXPECT_EQ(result.page.script, c.script) << c.source;
        EXPECT_EQ(result.page.blocks, c.blocks) << c.source;
        EXPECT_EQ(result.page.language, ScriptLanguage::VBScript) << c.source;
        EXPECT_EQ(result.page.codePage, 0) << c.source;
    }
}

TEST(PageSourceBlocks, JScriptCallsTakeParenthesesAndSemicolons) {
    Compiled result = Compile("<%@ LANGUAGE=\"JScript\" %>a<%= x + 1 %><% y(); %>b");
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.language, ScriptLanguage::JScript);
    EXPECT_EQ(result.page.script,
              "Response.WriteBlock(0);\nResponse.Write(x + 1);\ny();\nResponse.WriteBlock(1);\n");
    EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"a", "b"}));
}

TEST(PageSourceBlocks, UnterminatedBlockIsReportedAtItsOpeningLine) {
    struct Case {
        std::string source;
        int line;
    } cases[] = {
        {"<%", 1},
        {"<%>", 1},
        {"abc\n<% x", 2},
        {"<%= x", 1},
        {"a\r\n\r\nb<% x %>\n<% y\n z", 4},
        {"<% a %\n>", 1},
        {"<%@ LANGUAGE=JScript", 1},
        {"\n\n<%@", 3},
    };
    for (const Case& c : cases) {
        Compiled result = Compile(c.source);
        ASSERT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.error.message, "unterminated <% block") << c.source;
        EXPECT_EQ(result.error.file, "page.asp") << c.source;
        EXPECT_EQ(result.error.line, c.line) << c.source;
    }
}

TEST(PageSourceBlocks, FailedCompileLeavesThePageAsItWas) {
    CompiledPage page;
    page.script = "kept\n";
    page.blocks = {"kept"};
    page.lines = {SourceLine{"old.asp", 9}};
    PageError error;
    Site site;
    ASSERT_FALSE(CompilePage("page.asp", "text<% a %><% b", site.Reader(), page, error));
    EXPECT_EQ(page.script, "kept\n");
    EXPECT_EQ(page.blocks, (std::vector<std::string>{"kept"}));
    ASSERT_EQ(page.lines.size(), 1u);
    EXPECT_EQ(page.lines[0].file, "old.asp");

    // And a successful one replaces everything.
    ASSERT_TRUE(CompilePage("page.asp", "x", site.Reader(), page, error));
    EXPECT_EQ(page.script, "Response.WriteBlock 0\n");
    EXPECT_EQ(page.blocks, (std::vector<std::string>{"x"}));
}

TEST(PageSourceDirective, SetsLanguageAndCodePage) {
    struct Case {
        std::string source;
        ScriptLanguage language;
        int codePage;
    } cases[] = {
        {"<%@ LANGUAGE=\"JScript\" CODEPAGE=936 %>", ScriptLanguage::JScript, 936},
        {"<%@ language=vbs %>", ScriptLanguage::VBScript, 0},
        {"<%@ Language = 'JavaScript' %>", ScriptLanguage::JScript, 0},
        {"<%@LANGUAGE=JS CodePage=\"65001\"%>", ScriptLanguage::JScript, 65001},
        {"<%@ LANGUAGE=VBScript %>", ScriptLanguage::VBScript, 0},
        {"<%@ CODEPAGE = 936 %>", ScriptLanguage::VBScript, 936},
        {"<%@ ENABLESESSIONSTATE=False LCID=2052 TRANSACTION=Required LANGUAGE=jscript %>", ScriptLanguage::JScript,
         0},
        {"<%@ %>", ScriptLanguage::VBScript, 0},
        {"<%@\r\n LANGUAGE=JScript\r\n CODEPAGE=1252\r\n%>", ScriptLanguage::JScript, 1252},
        // White space before the directive, and a byte order mark, are dropped.
        {"\r\n  \t<%@ LANGUAGE=JScript %>", ScriptLanguage::JScript, 0},
        {"\xEF\xBB\xBF<%@ CODEPAGE=65001 %>", ScriptLanguage::VBScript, 65001},
    };
    for (const Case& c : cases) {
        Compiled result = Compile(c.source);
        ASSERT_TRUE(result.ok) << c.source << ": " << result.error.message;
        EXPECT_EQ(result.page.language, c.language) << c.source;
        EXPECT_EQ(result.page.codePage, c.codePage) << c.source;
        EXPECT_EQ(result.page.script, "") << c.source;
        EXPECT_TRUE(result.page.blocks.empty()) << c.source;
    }
}

TEST(PageSourceDirective, TextAfterTheDirectiveIsKeptWithItsLines) {
    Compiled result = Compile("\n<%@ LANGUAGE=JScript %>\r\n<html>\n<%= a %>");
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"\r\n<html>\n"}));
    EXPECT_EQ(result.page.script, "Response.WriteBlock(0);\nResponse.Write(a);\n");
    EXPECT_EQ(LineNumbers(result.page), (std::vector<int>{2, 4}));
}

TEST(PageSourceDirective, RefusesBadValuesAndLatePlaces) {
    struct Case {
        std::string source;
        std::string message;
        int line;
    } cases[] = {
        {"<%@ LANGUAGE=\"PerlScript\" %>", "unknown script language", 1},
        {"<%@ LANGUAGE=\"\" %>", "unknown script language", 1},
        {"<%@ LANGUAGE= %>", "unknown script language", 1},
        {"<%@ LANGUAGE=VBScript2 %>", "unknown script language", 1},
        {"\n\n<%@ CODEPAGE=936 LANGUAGE=Foo %>", "unknown script language", 3},
        {"<%@ CODEPAGE=abc %>", "CODEPAGE is not a code page number", 1},
        {"<%@ CODEPAGE=-1 %>", "CODEPAGE is not a code page number", 1},
        {"<%@ CODEPAGE=99999999999999999999999 %>", "CODEPAGE is not a code page number", 1},
        {"<%@ CODEPAGE= %>", "CODEPAGE is not a code page number", 1},
        {"<%@ CODEPAGE=65536 %>", "CODEPAGE is not a code page number", 1},
        {"x<%@ LANGUAGE=JScript %>", "the @ directive must come first", 1},
        {"<% a %>\n<%@ LANGUAGE=JScript %>", "the @ directive must come first", 2},
        {"<%= a %><%@ LANGUAGE=JScript %>", "the @ directive must come first", 1},
        {"<%@ LANGUAGE=JScript %><%@ CODEPAGE=936 %>", "the @ directive must come first", 1},
        {"<%@ LANGUAGE=JScript %>\n\n<%@ CODEPAGE=936 %>", "the @ directive must come first", 3},
        // Only white space may come before it: not a non-breaking space.
        {"\xA0<%@ LANGUAGE=JScript %>", "the @ directive must come first", 1},
    };
    for (const Case& c : cases) {
        Compiled result = Compile(c.source);
        ASSERT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.error.message, c.message) << c.source;
        EXPECT_EQ(result.error.line, c.line) << c.source;
        EXPECT_EQ(result.error.file, "page.asp") << c.source;
    }
}

TEST(PageSourceLines, EachScriptLineMapsToItsSourceLine) {
    const std::string source =
        "<html>\r\n"           // 1
        "<% Dim a\r\n"         // 2
        "   a = 1 %>\r\n"      // 3
        "<%= a %> text\n"      // 4
        "<%\n"                 // 5
        "\n"                   // 6
        "b = 2\n"              // 7
        "%><% c %><%=\n"       // 8
        "  d %>";              // 9
    Compiled result = Compile(source);
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.script,
              "Response.WriteBlock 0\n"
              "Dim a\r\n   a = 1\n"
              "Response.WriteBlock 1\n"
              "Response.Write a\n"
              "Response.WriteBlock 2\n"
              "b = 2\n"
              "c\n"
              "Response.Write d\n");
    EXPECT_EQ(LineNumbers(result.page), (std::vector<int>{1, 2, 3, 3, 4, 4, 7, 8, 9}));
    EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"<html>\r\n", "\r\n", " text\n"}));
}

TEST(PageSourceLines, OriginOfIsEmptyOutOfRange) {
    Compiled result = Compile("a\n<% b\nc %>", nullptr, "dir/p.asp");
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.page.lines.size(), 3u);
    struct Case {
        long index;
        std::string file;
        int line;
    } cases[] = {
        {0, "dir/p.asp", 1}, {1, "dir/p.asp", 2}, {2, "dir/p.asp", 3},
        {3, "", 0},          {-1, "", 0},         {LONG_MAX, "", 0},
        {LONG_MIN, "", 0},
    };
    for (const Case& c : cases) {
        SourceLine origin = OriginOf(result.page, c.index);
        EXPECT_EQ(origin.file, c.file) << c.index;
        EXPECT_EQ(origin.line, c.line) << c.index;
    }
    EXPECT_EQ(OriginOf(CompiledPage{}, 0).line, 0);
}

TEST(PageSourceInclude, ReplacesTheDirectiveWithTheCompiledFile) {
    Site site;
    site.Add("a/inc.inc", "<% x %>\n");
    Compiled result = Compile("top\n<!-- #include file=\"inc.inc\" -->bottom<% y %>", &site, "a/page.asp");
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.script,
              "Response.WriteBlock 0\nx\nResponse.WriteBlock 1\nResponse.WriteBlock 2\ny\n");
    EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"top\n", "\n", "bottom"}));
    EXPECT_EQ(LineFiles(result.page), (std::vector<std::string>{"a/page.asp", "a/inc.inc", "a/inc.inc",
                                                                "a/page.asp", "a/page.asp"}));
    EXPECT_EQ(LineNumbers(result.page), (std::vector<int>{1, 1, 1, 2, 2}));
    EXPECT_EQ(site.reads, (std::vector<std::string>{"a/inc.inc"}));
}

TEST(PageSourceInclude, RecognisesTheDirectiveSpellings) {
    const std::string spellings[] = {
        "<!-- #include file=\"inc.inc\" -->",
        "<!--#include file=\"inc.inc\"-->",
        "<!--   #INCLUDE   FILE  =  \"inc.inc\"   -->",
        "<!-- #include file='inc.inc' -->",
        "<!-- #Include Virtual=\"/a/inc.inc\" -->",
        "<!-- #include virtual=\"a/inc.inc\" -->",
        "<!-- #include virtual=\"\\a\\inc.inc\" -->",
        "<!-- #include file=\"..\\a\\inc.inc\" -->",
        "<!-- #include file=\"./sub/../inc.inc\" -->",
        "<!--\r\n#include\r\nfile=\"inc.inc\"\r\n-->",
        "<!--\t#include\tfile=\"inc.inc\"\t-->",
    };
    for (const std::string& directive : spellings) {
        Site site;
        site.Add("a/inc.inc", "<% x %>");
        Compiled result = Compile("[" + directive + "]", &site, "a/page.asp");
        ASSERT_TRUE(result.ok) << directive << ": " << result.error.message;
        EXPECT_EQ(result.page.script, "Response.WriteBlock 0\nx\nResponse.WriteBlock 1\n") << directive;
        EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"[", "]"})) << directive;
        EXPECT_EQ(site.reads, (std::vector<std::string>{"a/inc.inc"})) << directive;
        // The line after the directive follows its own line breaks.
        const int after = 1 + static_cast<int>(std::count(directive.begin(), directive.end(), '\n'));
        ASSERT_EQ(result.page.lines.size(), 3u);
        EXPECT_EQ(result.page.lines[2].line, after) << directive;
    }
}

TEST(PageSourceInclude, OtherCommentsStayLiteralText) {
    const std::string sources[] = {
        "<!-- hello -->",
        "<!-- include file=\"inc.inc\" -->",
        "<!-- #include file=inc.inc -->",
        "<!-- #include file=\"inc.inc\" ->",
        "<!-- #include file=\"inc.inc\" --",
        "<!-- #include name=\"inc.inc\" -->",
        "<!-- #include file=\"inc.inc' -->",
        "<!-- #include file \"inc.inc\" -->",
        "<!-- #include file=\"inc.inc",
        "<!-- #include",
        "<!--",
        "<!- #include file=\"inc.inc\" -->",
        "<! -- #include file=\"inc.inc\" -->",
        "<!-- #include file=\"inc.inc\" x -->",
    };
    for (const std::string& source : sources) {
        Site site;
        site.Add("inc.inc", "<% x %>");
        Compiled result = Compile(source, &site);
        ASSERT_TRUE(result.ok) << source << ": " << result.error.message;
        EXPECT_EQ(result.page.blocks, (std::vector<std::string>{source})) << source;
        EXPECT_TRUE(site.reads.empty()) << source;
    }
}

TEST(PageSourceInclude, ADirectiveCannotReachIntoACodeBlock) {
    Site site;
    site.Add("a", "<% x %>");
    Compiled result = Compile("<!-- #include file=\"a<% y %>\" -->", &site);
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.script, "Response.WriteBlock 0\ny\nResponse.WriteBlock 1\n");
    EXPECT_EQ(result.page.blocks, (std::vector<std::string>{"<!-- #include file=\"a", "\" -->"}));
    EXPECT_TRUE(site.reads.empty());
}

TEST(PageSourceInclude, DirectivesInsideCodeAreCode) {
    Site site;
    site.Add("inc.inc", "<% x %>");
    const std::string source = "<% ' <!-- #include file=\"inc.inc\" --> %><%= \"<!-- #include file='inc.inc' -->\" %>";
    Compiled result = Compile(source, &site);
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.script,
              "' <!-- #include file=\"inc.inc\" -->\nResponse.Write \"<!-- #include file='inc.inc' -->\"\n");
    EXPECT_TRUE(site.reads.empty());
}

TEST(PageSourceInclude, NestedFilesKeepTheirOwnPathsAndLines) {
    Site site;
    // inc/a.inc includes its neighbour by file= and a root file by virtual=.
    site.Add("inc/a.inc", "<%\nA\n%>\n<!-- #include file=\"b.inc\" -->\n<!-- #include virtual=\"/c.inc\" -->");
    site.Add("inc/b.inc", "\n\n<% B %>");
    site.Add("c.inc", "<%= C %>");
    Compiled result = Compile("<% P1 %>\n<!-- #include file=\"inc/a.inc\" --><% P2 %>", &site, "p.asp");
    ASSERT_TRUE(result.ok) << result.error.message;
    struct Line {
        std::string text;
        std::string file;
        int line;
    } expected[] = {
        {"P1", "p.asp", 1},
        {"Response.WriteBlock 0", "p.asp", 1},  // "\n"
        {"A", "inc/a.inc", 2},
        {"Response.WriteBlock 1", "inc/a.inc", 3},  // "\n" after %>
        {"Response.WriteBlock 2", "inc/b.inc", 1},  // "\n\n"
        {"B", "inc/b.inc", 3},
        {"Response.WriteBlock 3", "inc/a.inc", 4},  // "\n" after the first include
        {"Response.Write C", "c.inc", 1},
        {"P2", "p.asp", 2},
    };
    std::string script;
    for (const Line& line : expected) script += line.text + "\n";
    EXPECT_EQ(result.page.script, script);
    ASSERT_EQ(result.page.lines.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(result.page.lines[i].file, expected[i].file) << i;
        EXPECT_EQ(result.page.lines[i].line, expected[i].line) << i;
    }
    EXPECT_EQ(site.reads, (std::vector<std::string>{"inc/a.inc", "inc/b.inc", "c.inc"}));
}

TEST(PageSourceInclude, TheSameFileMayBeIncludedMoreThanOnce) {
    Site site;
    site.Add("a.inc", "<!-- #include file=\"c.inc\" --><!-- #include file=\"c.inc\" -->");
    site.Add("b.inc", "<!-- #include file=\"c.inc\" -->");
    site.Add("c.inc", "<% c %>");
    Compiled result =
        Compile("<!-- #include file=\"a.inc\" --><!-- #include file=\"b.inc\" --><!-- #include file=\"c.inc\" -->",
                &site);
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.page.script, "c\nc\nc\nc\n");
}

TEST(PageSourceInclude, ReportsErrorsAtTheDirective) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> files;
        std::string page;
        std::string file;
        int line;
        std::string message;
    } cases[] = {
        {"missing", {}, "x\n<!-- #include file=\"missing.inc\" -->", "a/page.asp", 2,
         "include file not found: a/missing.inc"},
        {"missing virtual", {}, "<!-- #include virtual=\"/x/y.inc\" -->", "a/page.asp", 1,
         "include file not found: x/y.inc"},
        {"above the root", {}, "\n\n<!-- #include file=\"../../x.inc\" -->", "a/page.asp", 3,
         "include path leaves the site"},
        {"virtual above the root", {}, "<!-- #include virtual=\"/../x.inc\" -->", "a/page.asp", 1,
         "include path leaves the site"},
        {"drive", {}, "<!-- #include file=\"c:\\boot.ini\" -->", "a/page.asp", 1, "include path leaves the site"},
        {"self", {}, "<!-- #include file=\"page.asp\" -->", "a/page.asp", 1, "include cycle: a/page.asp"},
        {"self in other case", {}, "<!-- #include virtual=\"/A/PAGE.asp\" -->", "a/page.asp", 1,
         "include cycle: A/PAGE.asp"},
        {"indirect",
         {{"a/x.inc", "<!-- #include file=\"y.inc\" -->"}, {"a/y.inc", "\n<!-- #include file=\"x.inc\" -->"}},
         "<!-- #include file=\"x.inc\" -->", "a/y.inc", 2, "include cycle: a/x.inc"},
        {"missing deeper", {{"a/x.inc", "<% ok %>\n\n<!-- #include file=\"gone.inc\" -->"}},
         "<!-- #include file=\"x.inc\" -->", "a/x.inc", 3, "include file not found: a/gone.inc"},
        {"directive in include", {{"a/x.inc", "<%@ LANGUAGE=JScript %>"}}, "<!-- #include file=\"x.inc\" -->",
         "a/x.inc", 1, "the @ directive must come first"},
        {"unterminated in include", {{"a/x.inc", "ok\n<% x"}}, "<!-- #include file=\"x.inc\" --><% fine %>",
         "a/x.inc", 2, "unterminated <% block"},
        {"unterminated after include", {{"a/x.inc", "<% x %>"}}, "<!-- #include file=\"x.inc\" -->\n<% y",
         "a/page.asp", 2, "unterminated <% block"},
    };
    for (const Case& c : cases) {
        Site site;
        for (const auto& file : c.files) site.Add(file.first, file.second);
        Compiled result = Compile(c.page, &site, "a/page.asp");
        ASSERT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.error.file, c.file) << c.name;
        EXPECT_EQ(result.error.line, c.line) << c.name;
        EXPECT_EQ(result.error.message, c.message) << c.name;
    }
}

TEST(PageSourceInclude, NestingStopsAtTheLimit) {
    // f1 includes f2 ... up to f<levels>, which has code.
    auto chain = [](int levels) {
        Site site;
        for (int i = 1; i < levels; ++i)
            site.Add("f" + std::to_string(i) + ".inc", "<!-- #include file=\"f" + std::to_string(i + 1) + ".inc\" -->");
        site.Add("f" + std::to_string(levels) + ".inc", "<% deepest %>");
        return site;
    };
    Site deepest = chain(kMaxIncludeDepth);
    Compiled ok = Compile("<!-- #include file=\"f1.inc\" -->", &deepest);
    ASSERT_TRUE(ok.ok) << ok.error.message;
    EXPECT_EQ(ok.page.script, "deepest\n");
    ASSERT_EQ(ok.page.lines.size(), 1u);
    EXPECT_EQ(ok.page.lines[0].file, "f" + std::to_string(kMaxIncludeDepth) + ".inc");

    Site tooDeep = chain(kMaxIncludeDepth + 1);
    Compiled refused = Compile("<!-- #include file=\"f1.inc\" -->", &tooDeep);
    ASSERT_FALSE(refused.ok);
    EXPECT_EQ(refused.error.message, "includes nested too deeply");
    EXPECT_EQ(refused.error.file, "f" + std::to_string(kMaxIncludeDepth) + ".inc");
    EXPECT_EQ(refused.error.line, 1);
}

TEST(PageSourceInclude, CycleIsReportedBeforeTheDepthLimit) {
    Site site;
    for (int i = 1; i < kMaxIncludeDepth; ++i)
        site.Add("f" + std::to_string(i) + ".inc", "<!-- #include file=\"f" + std::to_string(i + 1) + ".inc\" -->");
    site.Add("f" + std::to_string(kMaxIncludeDepth) + ".inc", "<!-- #include file=\"f1.inc\" -->");
    Compiled result = Compile("<!-- #include file=\"f1.inc\" -->", &site);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.message, "include cycle: f1.inc");
}

TEST(PageSourceInclude, WithoutAReaderEveryIncludeIsMissing) {
    CompiledPage page;
    PageError error;
    ASSERT_FALSE(CompilePage("p.asp", "<!-- #include file=\"x.inc\" -->", IncludeReader(), page, error));
    EXPECT_EQ(error.message, "include file not found: x.inc");
    // A page without includes does not need one.
    EXPECT_TRUE(CompilePage("p.asp", "<% a %>", IncludeReader(), page, error));
}

TEST(PageSourceInclude, RepeatedLargeIncludesAreRefused) {
    Site site;
    site.Add("big.inc", std::string(1 << 20, 'x'));
    std::string page;
    for (int i = 0; i < 40; ++i) page += "<!-- #include file=\"big.inc\" -->";
    Compiled result = Compile(page, &site);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.message, "include files too large");
    EXPECT_LT(site.reads.size(), 40u);
}

// A second, plain reading of which bytes are literal text: everything outside
// <% %>, less the white space before a leading directive.
std::string TextOutsideBlocks(const std::string& source) {
    std::string text;
    size_t pos = source.find_first_not_of(" \t\r\n");
    if (pos == std::string::npos || source.compare(pos, 3, "<%@") != 0) pos = 0;
    while (pos < source.size()) {
        const size_t open = source.find("<%", pos);
        text += source.substr(pos, open == std::string::npos ? std::string::npos : open - pos);
        if (open == std::string::npos) break;
        const bool marked = open + 2 < source.size() && (source[open + 2] == '=' || source[open + 2] == '@');
        const size_t close = source.find("%>", open + (marked ? 3 : 2));
        if (close == std::string::npos) break;
        pos = close + 2;
    }
    return text;
}

// Random pages built from the delimiters' pieces: whatever the compiler makes
// of them, success gives a well-formed page whose origins lie in the source.
TEST(PageSourceHostile, RandomDelimiterSoupStaysConsistent) {
    const std::string pieces[] = {"<%", "%>", "<%=", "<%@", "=", "@", "<", "%", ">", "\n", "\r\n", "a", " ",
                                  "<!--", "-->", "#include", " file=\"i.inc\"", "\xD6", "\x5C", "'"};
    Site site;
    site.Add("i.inc", "<% i %>\n<%= j %>");
    std::mt19937 random(20240601);
    int compiled = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string source;
        const int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i) source += pieces[random() % std::size(pieces)];
        Compiled result = Compile(source, &site);
        if (!result.ok) {
            EXPECT_FALSE(result.error.message.empty()) << source;
            EXPECT_GE(result.error.line, 1) << source;
            continue;
        }
        ++compiled;
        const int sourceLines = 1 + static_cast<int>(std::count(source.begin(), source.end(), '\n'));
        for (const SourceLine& origin : result.page.lines) {
            if (origin.file == "page.asp") {
                EXPECT_LE(origin.line, sourceLines) << source;
            }
        }
        if (source.find("#include") == std::string::npos) {
            std::string outside;
            for (const std::string& block : result.page.blocks) {
                EXPECT_FALSE(block.empty()) << source;
                outside += block;
            }
            EXPECT_EQ(outside, TextOutsideBlocks(source)) << source;
        }
    }
    EXPECT_GT(compiled, 100);  // the soup is not all errors
}

}  // namespace
}  // namespace tarnwick::host
