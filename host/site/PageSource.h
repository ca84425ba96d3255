// Turns a classic server page (literal HTML, <% code %>, <%= expression %>,
// the <%@ %> directive and #include directives) into one script for an
// Active Scripting engine plus the literal blocks it writes by number.
// Pure text work over narrow bytes (the system code page): no I/O, the
// caller supplies included files through a reader.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::host {

enum class ScriptLanguage { VBScript, JScript };

// Where a line of the generated script came from, for error reports.
struct SourceLine {
    std::string file;   // site path of the page or include file
    int line = 0;       // 1-based line in that file
};

struct CompiledPage {
    ScriptLanguage language = ScriptLanguage::VBScript;
    int codePage = 0;                  // CODEPAGE= of the directive, 0 when absent
    std::string script;                // the program text, lines ending in "\n"
    std::vector<std::string> blocks;   // literal text, written by Response.WriteBlock(i)
    std::vector<SourceLine> lines;     // origin of script line i (0-based)
};

struct PageError {
    std::string file;
    int line = 0;
    std::string message;
};

// Reads a file by site path ("dir/name.inc", '/'-separated, no leading '/');
// false when it does not exist or cannot be read.
using IncludeReader = std::function<bool(const std::string& sitePath, std::string& bytes)>;

// Nesting limit of include files (a cycle is reported before it is reached).
constexpr int kMaxIncludeDepth = 16;

// Compiles the page at sitePath whose bytes are source. False with error
// filled on an unterminated <% block, an unknown LANGUAGE, a missing,
// cyclic, too deeply nested or escaping include.
bool CompilePage(const std::string& sitePath, const std::string& source, const IncludeReader& read,
                 CompiledPage& page, PageError& error);

// The origin of a script line as reported by the engine (0-based), or an
// empty origin when out of range.
SourceLine OriginOf(const CompiledPage& page, long scriptLine);

}  // namespace tarnwick::host
