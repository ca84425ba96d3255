// HTML to plain text: a tokenizer that reads markup as Python's html.parser
// does (its regular expressions followed step by step, backtracking
// included), and a writer that makes lines of its events.
#include "mime/HtmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "mime/HtmlEntities.h"
#include "text/NarrowText.h"

namespace tarnwick::mime {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Python's str.isspace(), which is also what "\s" matches in its regular
// expressions over text.
bool IsPySpace(char16_t c) {
    if (c <= 0x20) return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20);
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Whether text equals lower (ASCII, lower case) with ASCII letters in any
// case. Python lowers tag names with str.lower(), which maps no other
// character to the ASCII letters of the names compared here.
bool IsNamed(std::u16string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (AsciiLower(text[k]) != static_cast<unsigned char>(lower[k])) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Character references, as html.unescape: the pattern
//   &(#[0-9]+;?|#[xX][0-9a-fA-F]+;?|[^\t\n\f <&#;]{1,32};?)
// and its replacement.

void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

void AppendNumber(std::u16string& out, char32_t number) {
    using namespace html_entities;
    const NumericRemap* remapEnd = kNumericRemaps + kNumericRemapCount;
    const NumericRemap* remap = std::lower_bound(
        kNumericRemaps, remapEnd, number, [](const NumericRemap& r, char32_t n) { return r.number < n; });
    if (remap != remapEnd && remap->number == number) {
        out += remap->unit;
        return;
    }
    if ((number >= 0xD800 && number <= 0xDFFF) || number > 0x10FFFF) {
        out += u'\uFFFD';
        return;
    }
    const CodePointRange* rangeEnd = kDroppedCodePoints + kDroppedCodePointCount;
    const CodePointRange* range = std::lower_bound(
        kDroppedCodePoints, rangeEnd, number, [](const CodePointRange& r, char32_t n) { return r.last < n; });
    if (range != rangeEnd && range->first <= number) return;
    AppendCodePoint(out, number);
}

// The named reference spelled by name (ASCII only: no other name exists);
// null when none.
const html_entities::NamedReference* FindName(std::u16string_view name) {
    using namespace html_entities;
    char key[40];
    if (name.size() >= sizeof key) return nullptr;
    for (std::size_t k = 0; k < name.size(); ++k) {
        if (name[k] >= 0x80) return nullptr;
        key[k] = static_cast<char>(name[k]);
    }
    const std::string_view wanted(key, name.size());
    const NamedReference* end = kNamedReferences + kNamedReferenceCount;
    const NamedReference* found = std::lower_bound(
        kNamedReferences, end, wanted, [](const NamedReference& r, std::string_view w) { return r.name < w; });
    return (found != end && found->name == wanted) ? found : nullptr;
}

bool IsNameRefChar(char16_t c) {
    return c != u'\t' && c != u'\n' && c != u'\f' && c != u' ' && c != u'<' && c != u'&' && c != u'#' &&
           c != u';';
}

void AppendDecoded(std::u16string_view text, std::u16string& out) {
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        const std::size_t amp = text.find(u'&', p);
        if (amp == std::u16string_view::npos) break;
        out.append(text.substr(p, amp - p));
        const std::size_t q = amp + 1;
        if (q < n && text[q] == u'#') {
            std::size_t d = q + 1;
            const bool hex = d < n && (text[d] == u'x' || text[d] == u'X');
            if (hex) ++d;
            const std::size_t digits = d;
            char32_t number = 0;   // saturates past U+10FFFF: every larger number reads alike
            for (; d < n; ++d) {
                const int value = hex ? text::HexDigitValue(text[d]) : (IsAsciiDigit(text[d]) ? text[d] - u'0' : -1);
                if (value < 0) break;
                number = std::min<char32_t>(number * (hex ? 16 : 10) + value, 0x110000);
            }
            if (d == digits) {   // "&#" without digits is no reference; '#' can start no name
                out += u'&';
                p = q;
                continue;
            }
            if (d < n && text[d] == u';') ++d;
            AppendNumber(out, number);
            p = d;
            continue;
        }
        std::size_t e = q;
        while (e < n && e - q < 32 && IsNameRefChar(text[e])) ++e;
        if (e == q) {
            out += u'&';
            p = q;
            continue;
        }
        if (e < n && text[e] == u';') ++e;
        const std::u16string_view name = text.substr(q, e - q);
        p = e;
        if (const auto* found = FindName(name)) {
            out.append(found->text, found->length);
            continue;
        }
        // The longest name of two or more characters that starts it: only
        // the old names without ';' can (the one ';' is the last character).
        bool matched = false;
        for (std::size_t x = name.size() - 1; x >= 2 && !matched; --x) {
            if (const auto* found = FindName(name.substr(0, x))) {
                out.append(found->text, found->length);
                out.append(name.substr(x));
                matched = true;
            }
        }
        if (!matched) {
            out += u'&';
            out.append(name);
        }
    }
    out.append(text.substr(p));
}

// ---------------------------------------------------------------------------
// The lines made of the tokenizer's events.

class TextWriter {
public:
    void Data(std::u16string_view raw, bool decode) {
        if (inHead_ || rawElement_ != nullptr) return;
        if (decode && raw.find(u'&') != std::u16string_view::npos) {
            decoded_.clear();
            AppendDecoded(raw, decoded_);
            Append(decoded_);
        } else {
            Append(raw);
        }
    }

    void StartTag(std::u16string_view name) {
        if (IsNamed(name, "head")) inHead_ = true;
        else if (IsNamed(name, "body")) inHead_ = false;
        if (IsNamed(name, "script")) rawElement_ = "script";
        else if (IsNamed(name, "style")) rawElement_ = "style";
        if (inHead_ || rawElement_ != nullptr) return;
        if (IsNamed(name, "br") || IsNamed(name, "hr")) {
            EndLine();
        } else if (IsNamed(name, "li")) {
            if (!line_.empty()) EndLine();
            line_ = u"- ";
        }
    }

    void EndTag(std::u16string_view name) {
        if (rawElement_ != nullptr && IsNamed(name, rawElement_)) {
            rawElement_ = nullptr;
            return;
        }
        if (IsNamed(name, "head")) {
            inHead_ = false;
            return;
        }
        if (inHead_ || rawElement_ != nullptr) return;
        static const char* const kLineEnds[] = {"p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6"};
        for (const char* lineEnd : kLineEnds) {
            if (IsNamed(name, lineEnd)) {
                EndLine();
                return;
            }
        }
    }

    std::u16string Finish() {
        if (!line_.empty()) EndLine();
        return std::move(out_);
    }

private:
    static bool IsBlank(char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
    }

    void Append(std::u16string_view text) {
        for (const char16_t c : text) {
            if (IsBlank(c)) {
                space_ = hasText_;
            } else {
                if (space_) line_ += u' ';
                line_ += c;
                hasText_ = true;
                space_ = false;
            }
        }
    }

    // Ends the line: an empty one only marks that one empty line goes before
    // the next line with text, if any line came before.
    void EndLine() {
        std::size_t first = 0;
        std::size_t last = line_.size();
        while (first < last && (line_[first] == u' ' || line_[first] == u'\u00A0')) ++first;
        while (last > first && (line_[last - 1] == u' ' || line_[last - 1] == u'\u00A0')) --last;
        if (first == last) {
            emptyLine_ = !out_.empty();
        } else {
            if (emptyLine_) out_ += u"\r\n";
            out_.append(line_, first, last - first);
            out_ += u"\r\n";
            emptyLine_ = false;
        }
        line_.clear();
        hasText_ = false;
        space_ = false;
    }

    std::u16string out_;
    std::u16string line_;
    std::u16string decoded_;
    bool hasText_ = false;   // the line has text beyond a list mark
    bool space_ = false;     // a blank is pending between text
    bool emptyLine_ = false;
    bool inHead_ = false;
    const char* rawElement_ = nullptr;   // "script" or "style" while inside one
};

// ---------------------------------------------------------------------------
// The tokenizer: html.parser's goahead(end=True) over the whole document.
// The Parse functions but ParseStartTag return where reading goes on, or
// kNone where html.parser's return -1 (the construct is not terminated);
// ParseStartTag deals with that itself.

class Tokenizer {
public:
    Tokenizer(std::u16string_view html, TextWriter& out) : s_(html), n_(html.size()), out_(out) {
        lastGt_ = s_.rfind(u'>');
        lastQuote_[0] = s_.rfind(u'\'');
        lastQuote_[1] = s_.rfind(u'"');
    }

    void Run() {
        std::size_t i = 0;
        while (i < n_) {
            std::size_t j;
            if (rawElement_ == nullptr) {
                j = std::min(s_.find(u'<', i), n_);
            } else {
                j = FindRawEnd(i);
                if (j == kNone) return;   // an unclosed <script> or <style>: the rest is dropped
            }
            if (i < j) out_.Data(s_.substr(i, j - i), rawElement_ == nullptr);
            i = j;
            if (i == n_) break;
            if (i + 1 < n_ && IsAsciiLetter(s_[i + 1])) {
                i = ParseStartTag(i);
                continue;
            }
            std::size_t k;
            if (StartsWith(i, u"</")) {
                k = ParseEndTag(i);
            } else if (StartsWith(i, u"<!--")) {
                k = ParseComment(i);
            } else if (StartsWith(i, u"<?")) {
                k = FindGtAfter(i + 2);
            } else if (StartsWith(i, u"<!")) {
                k = ParseDeclaration(i);
            } else if (i + 1 < n_) {
                out_.Data(u"<", false);
                k = i + 1;
            } else {
                break;
            }
            i = k == kNone ? Unterminated(i) : k;
        }
        if (i < n_ && rawElement_ == nullptr) out_.Data(s_.substr(i), true);
    }

private:
    // Marks left by a start tag that turned out unterminated (see
    // ScanAttributes): the state its scan was in at each position.
    enum : std::uint8_t { kMarkName = 1, kMarkSeparator = 2, kMarkBare = 4, kMarkSingle = 8, kMarkDouble = 16 };

    struct Scan {
        std::size_t stop;         // where the pattern ended, or where it met a mark
        std::size_t attributes;   // attributes read
        bool merged;              // met an earlier unterminated scan: this one is too
    };

    bool StartsWith(std::size_t i, std::u16string_view prefix) const {
        return s_.substr(i, prefix.size()) == prefix;
    }

    // The first '>' at or after from; kNone when none (no scan past the last).
    std::size_t FindGt(std::size_t from) const {
        if (lastGt_ == std::u16string_view::npos || from > lastGt_) return kNone;
        return s_.find(u'>', from);
    }

    std::size_t FindGtAfter(std::size_t from) const {
        const std::size_t gt = FindGt(from);
        return gt == kNone ? kNone : gt + 1;
    }

    // goahead's handling of a construct at i that is not terminated: text up
    // to the first '>' after i, else up to the next '<', else the '<' alone.
    std::size_t Unterminated(std::size_t i) {
        std::size_t k = FindGt(i + 1);
        if (k != kNone) {
            ++k;
        } else {
            k = s_.find(u'<', i + 1);
            if (k == std::u16string_view::npos) k = i + 1;
        }
        out_.Data(s_.substr(i, k - i), rawElement_ == nullptr);
        return k;
    }

    // Inside <script> or <style>: where "</" blanks name blanks ">" starts,
    // the name in any ASCII case; kNone when nowhere.
    std::size_t FindRawEnd(std::size_t from) const {
        const std::size_t length = std::strlen(rawElement_);
        for (std::size_t p = s_.find(u"</", from); p != std::u16string_view::npos; p = s_.find(u"</", p + 2)) {
            std::size_t q = p + 2;
            while (q < n_ && IsPySpace(s_[q])) ++q;
            if (!IsNamed(s_.substr(q, length), rawElement_)) continue;
            q += length;
            while (q < n_ && IsPySpace(s_[q])) ++q;
            if (q < n_ && s_[q] == u'>') return p;
        }
        return kNone;
    }

    // parse_comment: "<!--" up to the first "--" blanks ">".
    std::size_t ParseComment(std::size_t i) {
        const std::size_t from = i + 4;
        if (from >= commentMissingFrom_) return kNone;
        for (std::size_t p = from; p + 1 < n_; ++p) {
            if (s_[p] != u'-' || s_[p + 1] != u'-') continue;
            std::size_t q = p + 2;
            while (q < n_ && IsPySpace(s_[q])) ++q;
            if (q < n_ && s_[q] == u'>') return q + 1;
        }
        commentMissingFrom_ = from;   // nor from any later start
        return kNone;
    }

    // A close of a marked section: "]" blanks ">" (doubleBracket: "]" blanks
    // "]" blanks ">") from `from`; the position after it, or kNone.
    std::size_t FindSectionClose(std::size_t from, bool doubleBracket) {
        std::size_t& missingFrom = doubleBracket ? sectionMissingFrom_ : msSectionMissingFrom_;
        if (from >= missingFrom) return kNone;
        for (std::size_t p = s_.find(u']', from); p != std::u16string_view::npos; p = s_.find(u']', p + 1)) {
            std::size_t q = p + 1;
            while (q < n_ && IsPySpace(s_[q])) ++q;
            if (doubleBracket) {
                if (q >= n_ || s_[q] != u']') continue;
                ++q;
                while (q < n_ && IsPySpace(s_[q])) ++q;
            }
            if (q < n_ && s_[q] == u'>') return q + 1;
        }
        missingFrom = from;
        return kNone;
    }

    // parse_html_declaration for "<!" not followed by "--".
    std::size_t ParseDeclaration(std::size_t i) {
        if (StartsWith(i, u"<![")) {
            // _scan_name: a letter, then [-_.a-zA-Z0-9]*, then blanks, not
            // reaching the end.
            const std::size_t p = i + 3;
            if (p == n_) return kNone;
            if (IsAsciiLetter(s_[p])) {
                std::size_t q = p + 1;
                while (q < n_ && (IsAsciiLetter(s_[q]) || IsAsciiDigit(s_[q]) || s_[q] == u'-' || s_[q] == u'_' ||
                                  s_[q] == u'.'))
                    ++q;
                std::size_t r = q;
                while (r < n_ && IsPySpace(s_[r])) ++r;
                if (r == n_) return kNone;
                const std::u16string_view name = s_.substr(p, q - p);
                for (const char* keyword : {"temp", "cdata", "ignore", "include", "rcdata"})
                    if (IsNamed(name, keyword)) return FindSectionClose(i + 3, true);
                for (const char* keyword : {"if", "else", "endif"})
                    if (IsNamed(name, keyword)) return FindSectionClose(i + 3, false);
            }
            // Python 3.11 raises here; read it as a comment, as browsers do.
            return FindGtAfter(i + 2);
        }
        if (i + 9 <= n_ && IsNamed(s_.substr(i, 9), "<!doctype")) return FindGtAfter(i + 9);
        return FindGtAfter(i + 2);   // a bogus comment
    }

    // parse_endtag.
    std::size_t ParseEndTag(std::size_t i) {
        const std::size_t gt = FindGt(i + 1);
        if (gt == kNone) return kNone;
        // endtagfind: "</" blanks [a-zA-Z][-.a-zA-Z0-9:_]* blanks ">".
        std::size_t p = i + 2;
        while (p < n_ && IsPySpace(s_[p])) ++p;
        if (p < n_ && IsAsciiLetter(s_[p])) {
            std::size_t q = p + 1;
            while (q < n_ && (IsAsciiLetter(s_[q]) || IsAsciiDigit(s_[q]) || s_[q] == u'-' || s_[q] == u'.' ||
                              s_[q] == u':' || s_[q] == u'_'))
                ++q;
            std::size_t r = q;
            while (r < n_ && IsPySpace(s_[r])) ++r;
            if (r == gt) {
                const std::u16string_view name = s_.substr(p, q - p);
                if (rawElement_ != nullptr && !IsNamed(name, rawElement_)) {
                    out_.Data(s_.substr(i, gt + 1 - i), false);
                } else {
                    out_.EndTag(name);
                    rawElement_ = nullptr;
                }
                return gt + 1;
            }
        }
        if (rawElement_ != nullptr) {
            out_.Data(s_.substr(i, gt + 1 - i), false);
            return gt + 1;
        }
        // "</>" and "</" without a letter are dropped up to the '>'; else the
        // name (as in a start tag) is an end tag and the rest up to the '>'
        // is passed over.
        if (i + 2 < n_ && IsAsciiLetter(s_[i + 2])) {
            std::size_t q = i + 3;
            while (q < n_ && IsTagNameChar(s_[q])) ++q;
            out_.EndTag(s_.substr(i + 2, q - (i + 2)));
        }
        return gt + 1;
    }

    // A character of a tag name after its first letter: [^\t\n\r\f />\x00].
    static bool IsTagNameChar(char16_t c) {
        return c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != u' ' && c != u'/' && c != u'>' &&
               c != 0;
    }
    // Of an attribute name after its first character: [^\s/=>].
    static bool IsAttributeNameChar(char16_t c) { return !IsPySpace(c) && c != u'/' && c != u'=' && c != u'>'; }

    // parse_starttag and check_for_whole_start_tag. The tag's extent is where
    // locatestarttagend_tolerant stops matching:
    //
    //   <[a-zA-Z][^\t\n\r\f />\x00]*
    //   (?:[\s/]*
    //     (?:(?<=['"\s/])[^\s/>][^\s/=>]*
    //       (?:\s*=+\s*(?:'[^']*'|"[^"]*"|(?!['"])[^>\s]*)\s*)?
    //       (?:\s|/(?!>))*
    //     )*
    //   )?\s*
    //
    // Nothing after the attribute loop can fail, so the regular expression
    // engine's only backtracking is inside an attribute value; ScanAttributes
    // follows that. Then the character where the match stops decides: '>' or
    // "/>" end the tag; the end of the text, a letter, '=' or '/' leave it
    // unterminated; anything else (a NUL after the name) makes "<name" text.
    std::size_t ParseStartTag(std::size_t i) {
        const std::size_t nameEnd = RunEnd(i + 1, tagNameRun_, IsTagNameChar);
        const std::size_t attributesFrom =
            RunEnd(nameEnd, slashSpaceRun_, [](char16_t c) { return IsPySpace(c) || c == u'/'; });
        const Scan scan = ScanAttributes(attributesFrom, false);
        std::size_t j = scan.stop;
        if (!scan.merged) {
            while (j < n_ && IsPySpace(s_[j])) ++j;
            std::size_t end = kNone;
            bool selfClosing = false;
            if (j < n_ && s_[j] == u'>') {
                end = j + 1;
                // "/>" where the '/' belongs to no attribute: the blanks and
                // slashes after the name end with it.
                selfClosing = scan.attributes == 0 && j > nameEnd && s_[j - 1] == u'/';
            } else if (j + 1 < n_ && s_[j] == u'/' && s_[j + 1] == u'>') {
                end = j + 2;
                selfClosing = true;
            } else if (j < n_ && !IsAsciiLetter(s_[j]) && s_[j] != u'=' && s_[j] != u'/') {
                out_.Data(s_.substr(i, j - i), false);
                return j;
            }
            if (end != kNone) {
                const std::u16string_view name = s_.substr(i + 1, nameEnd - (i + 1));
                out_.StartTag(name);
                if (selfClosing) {
                    out_.EndTag(name);
                } else if (IsNamed(name, "script")) {
                    rawElement_ = "script";
                } else if (IsNamed(name, "style")) {
                    rawElement_ = "style";
                }
                return end;
            }
        }
        const std::size_t next = Unterminated(i);
        // html.parser reads what follows again from `next`, and so would
        // scan much of this tag again for each later '<' inside it. The marks
        // let a later scan that reaches a state this one was in stop there:
        // it would end as this one did.
        if (j > next) {
            if (!marks_) marks_.reset(new std::uint8_t[n_]());
            ScanAttributes(attributesFrom, true);
        }
        return next;
    }

    // The end of the run of characters `in` that starts at from, remembering
    // the last run so that tags starting inside it do not scan it again.
    template <typename In>
    std::size_t RunEnd(std::size_t from, std::pair<std::size_t, std::size_t>& last, In in) const {
        if (from >= last.first && from <= last.second) return last.second;
        std::size_t end = from;
        while (end < n_ && in(s_[end])) ++end;
        last = {from, end};
        return end;
    }

    bool Marked(std::size_t p, std::uint8_t mark) const { return marks_ && (marks_[p] & mark); }

    // The attribute loop of the pattern above from pos. The state of a scan
    // at a position decides all the rest of it: at or in an attribute name,
    // in the blanks and slashes between attributes, in an unquoted value,
    // inside single or double quotes (the few characters of a value's '='
    // and blanks are read from the name's end, which is marked). With mark,
    // a scan known to end unterminated leaves its state at each position in
    // marks_, and any later scan that meets its own state at a marked
    // position ends there, unterminated too. Each position takes each mark
    // once, so the scans of all tags together stay linear.
    Scan ScanAttributes(std::size_t pos, bool mark) {
        std::size_t count = 0;
        const auto put = [&](std::size_t p, std::uint8_t bit) {
            if (mark) marks_[p] |= bit;
        };
        for (;;) {
            if (pos >= n_) return {n_, count, false};
            const char16_t c = s_[pos];
            const char16_t before = s_[pos - 1];
            if (!(before == u'\'' || before == u'"' || before == u'/' || IsPySpace(before)) || IsPySpace(c) ||
                c == u'/' || c == u'>')
                return {pos, count, false};
            if (Marked(pos, kMarkName)) return {pos, count, true};
            put(pos, kMarkName);
            ++count;
            std::size_t r = pos + 1;
            for (; r < n_ && IsAttributeNameChar(s_[r]); ++r) {
                if (Marked(r, kMarkName)) return {r, count, true};
                put(r, kMarkName);
            }
            bool merged = false;
            const std::size_t value = MatchValue(r, mark, merged);
            if (merged) return {r, count, true};
            std::size_t q = value == kNone ? r : value;
            // The value's trailing \s* and then (?:\s|/(?!>))*.
            for (; q < n_ && (IsPySpace(s_[q]) || (s_[q] == u'/' && !(q + 1 < n_ && s_[q + 1] == u'>'))); ++q) {
                if (Marked(q, kMarkSeparator)) return {q, count, true};
                put(q, kMarkSeparator);
            }
            pos = q;
        }
    }

    // \s*=+\s*(?:'[^']*'|"[^"]*"|(?!['"])[^>\s]*) at r: where it ends, or
    // kNone when it cannot match. A quote without its closing one fails the
    // alternatives; the engine then gives back one blank after the '=' (an
    // empty unquoted value there) or else one '=' (an unquoted value that
    // starts with it); with neither, the value does not match.
    std::size_t MatchValue(std::size_t r, bool mark, bool& merged) {
        std::size_t a = r;
        while (a < n_ && IsPySpace(s_[a])) ++a;
        if (a >= n_ || s_[a] != u'=') return kNone;
        std::size_t b = a;
        while (b < n_ && s_[b] == u'=') ++b;
        std::size_t c = b;
        while (c < n_ && IsPySpace(s_[c])) ++c;
        if (c < n_ && (s_[c] == u'\'' || s_[c] == u'"')) {
            const int type = s_[c] == u'"';
            if (lastQuote_[type] != std::u16string_view::npos && c < lastQuote_[type]) {
                const std::uint8_t bit = type ? kMarkDouble : kMarkSingle;
                std::size_t x = c + 1;
                for (; s_[x] != s_[c]; ++x) {
                    if (Marked(x, bit)) {
                        merged = true;
                        return kNone;
                    }
                    if (mark) marks_[x] |= bit;
                }
                return x + 1;
            }
            if (c > b) return c - 1;
            if (b - a > 1) return BareValue(b - 1, mark, merged);
            return kNone;
        }
        return BareValue(c, mark, merged);
    }

    // [^>\s]* from p.
    std::size_t BareValue(std::size_t p, bool mark, bool& merged) {
        for (; p < n_ && s_[p] != u'>' && !IsPySpace(s_[p]); ++p) {
            if (Marked(p, kMarkBare)) {
                merged = true;
                return kNone;
            }
            if (mark) marks_[p] |= kMarkBare;
        }
        return p;
    }

    std::u16string_view s_;
    std::size_t n_;
    TextWriter& out_;
    std::size_t lastGt_;
    std::size_t lastQuote_[2];
    const char* rawElement_ = nullptr;
    // Starts from which a search is known to find nothing.
    std::size_t commentMissingFrom_ = kNone;
    std::size_t sectionMissingFrom_ = kNone;
    std::size_t msSectionMissingFrom_ = kNone;
    std::pair<std::size_t, std::size_t> tagNameRun_{kNone, kNone};
    std::pair<std::size_t, std::size_t> slashSpaceRun_{kNone, kNone};
    std::unique_ptr<std::uint8_t[]> marks_;
};

// ---------------------------------------------------------------------------
// The charset of a <meta>, over bytes.

bool IsByteBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
char ByteLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool BytesNamed(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (ByteLower(text[k]) != lower[k]) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsByteBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsByteBlank(text.back())) text.remove_suffix(1);
    return text;
}

struct Attribute {
    std::string_view name;
    std::string_view value;
};

// One attribute of a tag at p (blanks and '/' before it passed over); false
// at the tag's '>' or the end, with p after the '>'.
bool NextAttribute(std::string_view s, std::size_t& p, Attribute& attribute) {
    while (p < s.size() && (IsByteBlank(s[p]) || s[p] == '/')) ++p;
    if (p >= s.size()) return false;
    if (s[p] == '>') {
        ++p;
        return false;
    }
    const std::size_t nameStart = p;
    while (p < s.size() && !IsByteBlank(s[p]) && s[p] != '/' && s[p] != '>' && (s[p] != '=' || p == nameStart)) ++p;
    attribute.name = s.substr(nameStart, p - nameStart);
    attribute.value = {};
    std::size_t q = p;
    while (q < s.size() && IsByteBlank(s[q])) ++q;
    if (q >= s.size() || s[q] != '=') return true;
    ++q;
    while (q < s.size() && IsByteBlank(s[q])) ++q;
    if (q < s.size() && (s[q] == '"' || s[q] == '\'')) {
        const std::size_t close = s.find(s[q], q + 1);
        const std::size_t end = close == std::string_view::npos ? s.size() : close;
        attribute.value = s.substr(q + 1, end - (q + 1));
        p = end == s.size() ? end : end + 1;
    } else {
        std::size_t end = q;
        while (end < s.size() && !IsByteBlank(s[end]) && s[end] != '>') ++end;
        attribute.value = s.substr(q, end - q);
        p = end;
    }
    return true;
}

// The charset in a Content-Type value: after "charset", blanks, '=',
// blanks, a quoted value or one up to a blank or ';'.
std::string_view CharsetOfContent(std::string_view content) {
    for (std::size_t p = 0; p + 7 <= content.size(); ++p) {
        if (!BytesNamed(content.substr(p, 7), "charset")) continue;
        std::size_t q = p + 7;
        while (q < content.size() && IsByteBlank(content[q])) ++q;
        if (q >= content.size() || content[q] != '=') continue;
        ++q;
        while (q < content.size() && IsByteBlank(content[q])) ++q;
        if (q < content.size() && (content[q] == '"' || content[q] == '\'')) {
            const std::size_t close = content.find(content[q], q + 1);
            if (close == std::string_view::npos) return {};
            return content.substr(q + 1, close - (q + 1));
        }
        std::size_t end = q;
        while (end < content.size() && !IsByteBlank(content[end]) && content[end] != ';') ++end;
        return content.substr(q, end - q);
    }
    return {};
}

}  // namespace

std::u16string DecodeCharacterReferences(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendDecoded(text, out);
    return out;
}

std::u16string HtmlToText(std::u16string_view html) {
    TextWriter writer;
    Tokenizer(html, writer).Run();
    return writer.Finish();
}

std::string HtmlDeclaredCharset(std::string_view s) {
    std::size_t p = 0;
    while ((p = s.find('<', p)) != std::string_view::npos) {
        if (s.compare(p, 4, "<!--") == 0) {
            const std::size_t close = s.find("-->", p + 2);   // "<!-->" closes itself
            if (close == std::string_view::npos) break;
            p = close + 3;
            continue;
        }
        const bool endTag = p + 1 < s.size() && s[p + 1] == '/';
        const std::size_t nameStart = p + (endTag ? 2 : 1);
        if (nameStart < s.size() && ((s[nameStart] | 0x20) >= 'a' && (s[nameStart] | 0x20) <= 'z')) {
            std::size_t q = nameStart;
            while (q < s.size() && !IsByteBlank(s[q]) && s[q] != '/' && s[q] != '>') ++q;
            const bool meta = !endTag && BytesNamed(s.substr(nameStart, q - nameStart), "meta");
            std::string_view charset, httpEquiv, content;
            bool gotCharset = false, gotHttpEquiv = false, gotContent = false;
            Attribute attribute;
            while (NextAttribute(s, q, attribute)) {
                if (!meta) continue;
                if (!gotCharset && BytesNamed(attribute.name, "charset")) {
                    charset = attribute.value;
                    gotCharset = true;
                } else if (!gotHttpEquiv && BytesNamed(attribute.name, "http-equiv")) {
                    httpEquiv = attribute.value;
                    gotHttpEquiv = true;
                } else if (!gotContent && BytesNamed(attribute.name, "content")) {
                    content = attribute.value;
                    gotContent = true;
                }
            }
            p = q;
            if (!TrimBlanks(charset).empty()) return std::string(TrimBlanks(charset));
            if (BytesNamed(TrimBlanks(httpEquiv), "content-type")) {
                const std::string_view found = TrimBlanks(CharsetOfContent(content));
                if (!found.empty()) return std::string(found);
            }
            continue;
        }
        if (p + 1 < s.size() && (s[p + 1] == '!' || s[p + 1] == '/' || s[p + 1] == '?')) {
            const std::size_t close = s.find('>', p + 2);
            if (close == std::string_view::npos) break;
            p = close + 1;
            continue;
        }
        ++p;
    }
    return {};
}

}  // namespace tarnwick::mime
