#include "host/site/PageSource.h"

#include <utility>

#include "host/site/UrlText.h"
#include "text/NarrowText.h"

namespace tarnwick::host {
namespace {

// All include files of one page together, so that a file included many
// times over through several levels cannot grow the script without bound.
constexpr size_t kMaxIncludedBytes = 32u << 20;
// CODEPAGE values are 16-bit code page identifiers.
constexpr long kMaxCodePage = 65535;

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr size_t kUtf8BomBytes = 3;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

using text::LowerAscii;

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

// True when text at pos starts with word, ASCII letters compared without case.
bool StartsWithWord(const std::string& text, size_t pos, const char* word) {
    for (; *word != '\0'; ++word, ++pos)
        if (pos >= text.size() || LowerAscii(text[pos]) != LowerAscii(*word)) return false;
    return true;
}

// Site paths name files on a file system that ignores case, so "A.inc" and
// "a.inc" are one file; a double-byte character is compared as it is.
bool SameSitePath(const std::string& a, const std::string& b) { return text::EqualIgnoringCaseByCharacter(a, b); }

int CountLines(const std::string& text, size_t begin, size_t end) {
    int count = 0;
    for (size_t i = begin; i < end; ++i)
        if (text[i] == '\n') ++count;
    return count;
}

size_t SkipSpaces(const std::string& text, size_t pos, size_t end) {
    while (pos < end && IsSpace(text[pos])) ++pos;
    return pos;
}

// An include directive found in literal text.
struct IncludeDirective {
    std::string reference;
    bool isVirtual = false;
    size_t end = 0;  // just past its "-->"
};

// Reads `<!-- #include file="x" -->` (or virtual=, either quote) at pos, the
// position of "<!--", without looking at or past end.
bool ReadIncludeDirective(const std::string& text, size_t pos, size_t end, IncludeDirective& directive) {
    size_t i = SkipSpaces(text, pos + 4, end);
    if (!StartsWithWord(text, i, "#include")) return false;
    i = SkipSpaces(text, i + 8, end);
    if (StartsWithWord(text, i, "file")) {
        directive.isVirtual = false;
        i += 4;
    } else if (StartsWithWord(text, i, "virtual")) {
        directive.isVirtual = true;
        i += 7;
    } else {
        return false;
    }
    i = SkipSpaces(text, i, end);
    if (i >= end || text[i] != '=') return false;
    i = SkipSpaces(text, i + 1, end);
    if (i >= end || (text[i] != '"' && text[i] != '\'')) return false;
    const size_t close = text.find(text[i], i + 1);
    if (close == std::string::npos || close >= end) return false;
    directive.reference = text.substr(i + 1, close - i - 1);
    i = SkipSpaces(text, close + 1, end);
    if (i + 3 > end || text.compare(i, 3, "-->") != 0) return false;
    directive.end = i + 3;
    return true;
}

class PageCompiler {
public:
    PageCompiler(const IncludeReader& read, CompiledPage& page, PageError& error)
        : read_(read), page_(page), error_(error) {}

    // Compiles one file, the page (depth 0) or an include file.
    bool CompileFile(const std::string& sitePath, const std::string& source, int depth) {
        open_.push_back(sitePath);
        size_t pos = 0;
        int line = 1;
        if (depth == 0 && !ReadLeadingDirective(sitePath, source, pos, line)) return false;
        while (pos < source.size()) {
            const size_t open = source.find("<%", pos);
            const size_t literalEnd = open == std::string::npos ? source.size() : open;
            if (!CompileLiteral(sitePath, source, pos, literalEnd, line, depth)) return false;
            line += CountLines(source, pos, literalEnd);
            pos = literalEnd;
            if (open == std::string::npos) break;

            size_t bodyStart = open + 2;
            const char kind = bodyStart < source.size() ? source[bodyStart] : '\0';
            if (kind == '@' || kind == '=') ++bodyStart;
            // The first "%>" ends the block, even inside a string literal of the code.
            const size_t close = source.find("%>", bodyStart);
            if (close == std::string::npos) return Fail(sitePath, line, "unterminated <% block");
            if (kind == '@') return Fail(sitePath, line, "the @ directive must come first");

            // Blanks and blank lines around the code are dropped; the line of
            // its first character keeps the mapping to the source exact.
            const size_t begin = SkipSpaces(source, bodyStart, close);
            size_t end = close;
            while (end > begin && IsSpace(source[end - 1])) --end;
            const std::string code = source.substr(begin, end - begin);
            const int codeLine = line + CountLines(source, open, begin);
            if (kind == '=') {
                // No parentheses in VBScript: a trailing ' comment then only hides itself.
                Emit(page_.language == ScriptLanguage::VBScript ? "Response.Write " + code
                                                                : "Response.Write(" + code + ");",
                     sitePath, codeLine);
            } else if (!code.empty()) {
                Emit(code, sitePath, codeLine);
            }
            line += CountLines(source, open, close + 2);
            pos = close + 2;
        }
        open_.pop_back();
        return true;
    }

private:
    bool Fail(const std::string& file, int line, const std::string& message) {
        error_.file = file;
        error_.line = line;
        error_.message = message;
        return false;
    }

    // Appends text as script lines, the first from source line firstLine.
    void Emit(const std::string& text, const std::string& file, int firstLine) {
        page_.script += text;
        page_.script += '\n';
        const int count = CountLines(text, 0, text.size()) + 1;
        for (int k = 0; k < count; ++k) page_.lines.push_back(SourceLine{file, firstLine + k});
    }

    void EmitBlock(const std::string& source, size_t begin, size_t end, const std::string& file, int line) {
        if (begin >= end) return;
        const size_t index = page_.blocks.size();
        page_.blocks.push_back(source.substr(begin, end - begin));
        const std::string number = std::to_string(index);
        Emit(page_.language == ScriptLanguage::VBScript ? "Response.WriteBlock " + number
                                                        : "Response.WriteBlock(" + number + ");",
             file, line);
    }

    // The directive may open the page, after nothing but white space (and a
    // byte order mark editors put there), which is then dropped.
    bool ReadLeadingDirective(const std::string& sitePath, const std::string& source, size_t& pos, int& line) {
        size_t start = source.compare(0, kUtf8BomBytes, kUtf8Bom) == 0 ? kUtf8BomBytes : 0;
        start = SkipSpaces(source, start, source.size());
        if (source.compare(start, 3, "<%@") != 0) return true;
        const int directiveLine = 1 + CountLines(source, 0, start);
        const size_t close = source.find("%>", start + 3);
        if (close == std::string::npos) return Fail(sitePath, directiveLine, "unterminated <% block");
        if (!ReadDirective(source.substr(start + 3, close - start - 3), sitePath, directiveLine)) return false;
        pos = close + 2;
        line = 1 + CountLines(source, 0, pos);
        return true;
    }

    // NAME=value pairs, values quoted or not; unknown names are ignored.
    bool ReadDirective(const std::string& text, const std::string& sitePath, int line) {
        size_t i = 0;
        while (true) {
            i = SkipSpaces(text, i, text.size());
            if (i >= text.size()) return true;
            const size_t nameStart = i;
            while (i < text.size() && !IsSpace(text[i]) && text[i] != '=') ++i;
            const std::string name = LowerAscii(text.substr(nameStart, i - nameStart));
            i = SkipSpaces(text, i, text.size());
            std::string value;
            if (i < text.size() && text[i] == '=') {
                i = SkipSpaces(text, i + 1, text.size());
                if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                    const char quote = text[i];
                    size_t close = text.find(quote, i + 1);
                    if (close == std::string::npos) close = text.size();
                    value = text.substr(i + 1, close - i - 1);
                    i = close < text.size() ? close + 1 : close;
                } else {
                    const size_t valueStart = i;
                    while (i < text.size() && !IsSpace(text[i])) ++i;
                    value = text.substr(valueStart, i - valueStart);
                }
            }
            if (name == "language" && !SetLanguage(value)) return Fail(sitePath, line, "unknown script language");
            if (name == "codepage" && !SetCodePage(value))
                return Fail(sitePath, line, "CODEPAGE is not a code page number");
        }
    }

    bool SetLanguage(const std::string& value) {
        const std::string name = LowerAscii(value);
        if (name == "vbscript" || name == "vbs") {
            page_.language = ScriptLanguage::VBScript;
        } else if (name == "jscript" || name == "javascript" || name == "js") {
            page_.language = ScriptLanguage::JScript;
        } else {
            return false;
        }
        return true;
    }

    bool SetCodePage(const std::string& value) {
        if (value.empty()) return false;
        long number = 0;
        for (char c : value) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + (c - '0');
            if (number > kMaxCodePage) return false;
        }
        page_.codePage = static_cast<int>(number);
        return true;
    }

    // Literal text source[begin, end) starting at line: blocks, with include
    // directives replaced by the files they name.
    bool CompileLiteral(const std::string& sitePath, const std::string& source, size_t begin, size_t end, int line,
                        int depth) {
        size_t pieceStart = begin;
        int pieceLine = line;
        size_t search = begin;
        while (true) {
            const size_t comment = source.find("<!--", search);
            if (comment == std::string::npos || comment >= end) break;
            IncludeDirective directive;
            if (!ReadIncludeDirective(source, comment, end, directive)) {
                search = comment + 4;
                continue;
            }
            EmitBlock(source, pieceStart, comment, sitePath, pieceLine);
            const int directiveLine = pieceLine + CountLines(source, pieceStart, comment);
            if (!Include(sitePath, directive, directiveLine, depth)) return false;
            pieceStart = directive.end;
            pieceLine = directiveLine + CountLines(source, comment, directive.end);
            search = directive.end;
        }
        EmitBlock(source, pieceStart, end, sitePath, pieceLine);
        return true;
    }

    bool Include(const std::string& sitePath, const IncludeDirective& directive, int line, int depth) {
        std::string path;
        if (!ResolveInclude(sitePath, directive.reference, directive.isVirtual, path))
            return Fail(sitePath, line, "include path leaves the site");
        for (const std::string& open : open_)
            if (SameSitePath(open, path)) return Fail(sitePath, line, "include cycle: " + path);
        if (depth + 1 > kMaxIncludeDepth) return Fail(sitePath, line, "includes nested too deeply");
        std::string bytes;
        if (!read_ || !read_(path, bytes)) return Fail(sitePath, line, "include file not found: " + path);
        includedBytes_ += bytes.size();
        if (includedBytes_ > kMaxIncludedBytes) return Fail(sitePath, line, "include files too large");
        return CompileFile(path, bytes, depth + 1);
    }

    const IncludeReader& read_;
    CompiledPage& page_;
    PageError& error_;
    std::vector<std::string> open_;  // the page and the include files being compiled, outermost first
    size_t includedBytes_ = 0;
};

}  // namespace

bool CompilePage(const std::string& sitePath, const std::string& source, const IncludeReader& read,
                 CompiledPage& page, PageError& error) {
    // Built aside so that a failed compile leaves no half page behind.
    CompiledPage compiled;
    PageError failure;
    PageCompiler compiler(read, compiled, failure);
    if (!compiler.CompileFile(sitePath, source, 0)) {
        error = failure;
        return false;
    }
    page = std::move(compiled);
    return true;
}

SourceLine OriginOf(const CompiledPage& page, long scriptLine) {
    if (scriptLine < 0 || static_cast<unsigned long>(scriptLine) >= page.lines.size()) return SourceLine{};
    return page.lines[static_cast<size_t>(scriptLine)];
}

}  // namespace tarnwick::host
