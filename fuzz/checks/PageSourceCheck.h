// The page compiler over a site held in memory. The input is the site: its
// pieces are separated by zero bytes, and each piece's first line (up to its
// LF) is a site path and the rest that file's bytes. The first piece is the
// page (its path through ToSitePath, "page.asp" when that refuses it or
// leaves nothing); the others are the files includes may read.
//
// Invariants: compiling twice gives the same result; a failed compile leaves
// the caller's page as it was and names a file it read and a line within it;
// a successful one leaves the caller's error as it was and has one origin
// per script line, each a line of a file it read; its literal blocks are
// non-empty pieces of those files that hold no "<%"; a page that read no
// include has exactly its literal text (everything outside its <% %> blocks
// and its leading directive) in its blocks; every path the compiler asks
// for is a clean site path.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/checks/Check.h"
#include "host/site/UrlText.h"
#include "host/site/PageSource.h"

namespace tarnwick::fuzz {
namespace page_source {

// Files included over and over (a file that includes another twice, and so
// on down) multiply the reads; past this many the site reports the file
// missing, which the compiler must handle like any missing file.
constexpr std::size_t kMaxReads = 2000;

// A site path the host could have made: it survives the way to a URL and back.
inline bool IsCleanSitePath(const std::string& path) {
    std::string back;
    return host::ToSitePath(host::SitePathUrl(path), back) && back == path;
}

struct Site {
    std::string pagePath;
    std::string page;
    std::map<std::string, std::string> files;
};

inline Site ReadSite(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t zero = input.find('\0', start);
        pieces.push_back(input.substr(start, zero == std::string::npos ? std::string::npos : zero - start));
        if (zero == std::string::npos) break;
        start = zero + 1;
    }
    Site site;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t lf = pieces[i].find('\n');
        const std::string path = pieces[i].substr(0, lf);
        const std::string bytes = lf == std::string::npos ? std::string() : pieces[i].substr(lf + 1);
        if (i == 0) {
            if (!host::ToSitePath(path, site.pagePath) || site.pagePath.empty()) site.pagePath = "page.asp";
            site.page = bytes;
        } else {
            site.files.emplace(path, bytes);   // the first file of a path wins
        }
    }
    return site;
}

struct Compiled {
    bool ok = false;
    host::CompiledPage page;
    host::PageError error;
    std::map<std::string, std::string> read;   // every file handed out, by path
    std::size_t reads = 0;
};

inline const host::CompiledPage& Sentinel() {
    static const host::CompiledPage sentinel = [] {
        host::CompiledPage page;
        page.codePage = -7;
        page.script = "sentinel\n";
        page.blocks = {"sentinel"};
        page.lines = {host::SourceLine{"sentinel.asp", 99}};
        return page;
    }();
    return sentinel;
}

inline bool SamePage(const host::CompiledPage& a, const host::CompiledPage& b) {
    if (a.language != b.language || a.codePage != b.codePage || a.script != b.script || a.blocks != b.blocks ||
        a.lines.size() != b.lines.size())
        return false;
    for (std::size_t i = 0; i < a.lines.size(); ++i)
        if (a.lines[i].file != b.lines[i].file || a.lines[i].line != b.lines[i].line) return false;
    return true;
}

inline Compiled Compile(const Site& site) {
    Compiled result;
    result.page = Sentinel();
    result.error = host::PageError{"sentinel.asp", 99, "sentinel"};
    result.read.emplace(site.pagePath, site.page);
    const host::IncludeReader reader = [&](const std::string& path, std::string& bytes) {
        FUZZ_CHECK(IsCleanSitePath(path));
        if (++result.reads > kMaxReads) return false;
        const auto it = site.files.find(path);
        if (it == site.files.end()) return false;
        bytes = it->second;
        result.read[path] = it->second;
        return true;
    };
    result.ok = host::CompilePage(site.pagePath, site.page, reader, result.page, result.error);
    return result;
}

inline int LineCount(const std::string& bytes) {
    return 1 + static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// The page's literal text when it includes nothing: everything outside its
// leading directive and its <% %> blocks, read the way the compiler does.
inline std::string LiteralText(const std::string& source) {
    std::size_t pos = source.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < source.size() && (source[pos] == ' ' || source[pos] == '\t' || source[pos] == '\r' ||
                                   source[pos] == '\n'))
        ++pos;
    if (source.compare(pos, 3, "<%@") == 0)
        pos = source.find("%>", pos + 3) + 2;
    else
        pos = 0;
    std::string literal;
    while (pos < source.size()) {
        const std::size_t open = source.find("<%", pos);
        literal += source.substr(pos, open == std::string::npos ? std::string::npos : open - pos);
        if (open == std::string::npos) break;
        std::size_t bodyStart = open + 2;
        if (bodyStart < source.size() && (source[bodyStart] == '@' || source[bodyStart] == '=')) ++bodyStart;
        pos = source.find("%>", bodyStart) + 2;   // found: the compile succeeded
    }
    return literal;
}

}  // namespace page_source

inline void CheckPageSource(const std::uint8_t* data, std::size_t size) {
    using namespace page_source;
    const Site site = ReadSite(data, size);
    const Compiled first = Compile(site);
    const Compiled second = Compile(site);
    FUZZ_CHECK(first.ok == second.ok);
    FUZZ_CHECK(SamePage(first.page, second.page));
    FUZZ_CHECK(first.error.file == second.error.file && first.error.line == second.error.line &&
               first.error.message == second.error.message);

    const host::CompiledPage& page = first.page;
    if (!first.ok) {
        FUZZ_CHECK(SamePage(page, Sentinel()));
        const auto file = first.read.find(first.error.file);
        FUZZ_CHECK(file != first.read.end());
        FUZZ_CHECK(first.error.line >= 1 && first.error.line <= LineCount(file->second));
        FUZZ_CHECK(!first.error.message.empty());
        return;
    }
    FUZZ_CHECK(first.error.file == "sentinel.asp" && first.error.line == 99 && first.error.message == "sentinel");

    FUZZ_CHECK(page.codePage >= 0 && page.codePage <= 65535);
    const auto newlines = std::count(page.script.begin(), page.script.end(), '\n');
    FUZZ_CHECK(page.lines.size() == static_cast<std::size_t>(newlines));
    FUZZ_CHECK(page.script.empty() || page.script.back() == '\n');
    std::map<std::string, int> lineCounts;
    for (const auto& [path, bytes] : first.read) lineCounts[path] = LineCount(bytes);
    for (const host::SourceLine& origin : page.lines) {
        const auto count = lineCounts.find(origin.file);
        FUZZ_CHECK(count != lineCounts.end());
        FUZZ_CHECK(origin.line >= 1 && origin.line <= count->second);
    }
    const long lineTotal = static_cast<long>(page.lines.size());
    FUZZ_CHECK(host::OriginOf(page, -1).file.empty() && host::OriginOf(page, lineTotal).file.empty());
    if (lineTotal > 0) FUZZ_CHECK(host::OriginOf(page, lineTotal - 1).file == page.lines.back().file);

    std::set<std::string> seen;
    std::string blocks;
    for (const std::string& block : page.blocks) {
        FUZZ_CHECK(!block.empty());
        FUZZ_CHECK(block.find("<%") == std::string::npos);
        blocks += block;
        if (!seen.insert(block).second) continue;
        bool inFile = false;
        for (const auto& [path, bytes] : first.read) inFile = inFile || bytes.find(block) != std::string::npos;
        FUZZ_CHECK(inFile);
    }
    if (first.reads == 0) FUZZ_CHECK(blocks == LiteralText(site.page));
}

}  // namespace tarnwick::fuzz
