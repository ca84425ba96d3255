#include "mime/HeaderWriting.h"

#include <algorithm>

#include "text/NarrowText.h"

namespace tarnwick::mime {
namespace {

constexpr std::string_view kWordStart[] = {"=?UTF-8?Q?", "=?UTF-8?B?"};
constexpr std::size_t kWordOverhead = 12;   // "=?UTF-8?B?" and "?="
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The bytes of the character that starts at i (a lone continuation byte,
// which valid UTF-8 never has there, counts as one).
std::size_t CharacterBytes(std::string_view s, std::size_t i) {
    std::size_t n = 1;
    if (static_cast<unsigned char>(s[i]) >= 0xC0)
        while (n < 4 && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// What RFC 2047 5(3) lets a Q word in a display name hold as itself.
bool IsQLiteral(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
           c == '+' || c == '-' || c == '/';
}

std::size_t QLength(std::string_view bytes) {
    std::size_t n = 0;
    for (char c : bytes) n += IsQLiteral(static_cast<unsigned char>(c)) || c == ' ' ? 1 : 3;
    return n;
}

std::size_t BLength(std::size_t bytes) { return 4 * ((bytes + 2) / 3); }

void AppendQ(std::string_view bytes, std::string& out) {
    for (char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == ' ') {
            out += '_';
        } else if (IsQLiteral(u)) {
            out += c;
        } else {
            out += '=';
            out += text::kHexDigits[u >> 4];
            out += text::kHexDigits[u & 15];
        }
    }
}

void AppendB(std::string_view bytes, std::string& out) {
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kBase64[(v >> (18 - 6 * k)) & 63] : '=';
    }
}

// The encoded words of utf8 in one encoding: as many whole characters in
// each word as fit.
std::vector<std::string> WordsIn(std::string_view utf8, bool base64, std::size_t firstWordChars) {
    std::vector<std::string> words;
    std::size_t room = std::max<std::size_t>(firstWordChars, 2 * kWordOverhead) - kWordOverhead;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t end = i;
        while (end < utf8.size()) {
            const std::size_t next = end + CharacterBytes(utf8, end);
            const std::string_view taken = utf8.substr(i, next - i);
            if ((base64 ? BLength(taken.size()) : QLength(taken)) > room && end > i) break;
            end = next;
        }
        // Cut after a blank where the word has one: a decoder that keeps the
        // blank between two encoded words then shows at worst two blanks
        // between two words, not one inside a word.
        const std::size_t blank = utf8.substr(i, end - i).rfind(' ');
        if (end < utf8.size() && blank != std::string_view::npos && blank > 0) end = i + blank + 1;
        std::string word(kWordStart[base64]);
        if (base64)
            AppendB(utf8.substr(i, end - i), word);
        else
            AppendQ(utf8.substr(i, end - i), word);
        words.push_back(word + "?=");
        i = end;
        room = kMaxEncodedWordChars - kWordOverhead;
    }
    return words;
}

std::size_t TotalLength(const std::vector<std::string>& words) {
    std::size_t n = 0;
    for (const std::string& w : words) n += w.size() + 1;
    return n;
}

// The words of text separated by single spaces, when that is all it is:
// non-empty words, none starting or ending it, each fitting its line and
// each byte allowed by isWordByte.
template <typename WordByte>
bool SplitPlainWords(std::string_view text, std::size_t firstRoom, WordByte isWordByte,
                     std::vector<std::string>& words) {
    words.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ' ') {
            if (!isWordByte(static_cast<unsigned char>(text[i]))) return false;
            continue;
        }
        const std::string_view word = text.substr(start, i - start);
        const std::size_t room = words.empty() ? firstRoom : kFoldWidth - 1;
        if (word.empty() || word.size() > room || word.find("=?") != std::string_view::npos) return false;
        words.emplace_back(word);
        start = i + 1;
    }
    return !words.empty();
}

bool IsAtext(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsPrintableAscii(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

// RFC 2231 attribute-char: what an extended value holds as itself.
bool IsAttributeChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string PercentEncoded(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (IsAttributeChar(u)) {
            out += c;
        } else {
            out += '%';
            out += text::kHexDigits[u >> 4];
            out += text::kHexDigits[u & 15];
        }
    }
    return out;
}

}  // namespace

std::size_t FirstTokenRoom(std::string_view name) { return kFoldWidth - name.size() - 2; }

std::vector<std::string> EncodeWords(std::string_view utf8, std::size_t firstWordChars) {
    firstWordChars = std::min(firstWordChars, kMaxEncodedWordChars);
    std::vector<std::string> q = WordsIn(utf8, false, firstWordChars);
    std::vector<std::string> b = WordsIn(utf8, true, firstWordChars);
    return TotalLength(b) < TotalLength(q) ? b : q;
}

std::vector<std::string> TextTokens(std::string_view utf8, std::size_t firstRoom) {
    std::vector<std::string> words;
    if (utf8.empty()) return words;
    const auto visible = [](unsigned char c) { return c > 0x20 && c < 0x7F; };
    if (SplitPlainWords(utf8, firstRoom, visible, words)) return words;
    return EncodeWords(utf8, firstRoom);
}

std::vector<std::string> PhraseTokens(std::string_view utf8, std::size_t firstRoom) {
    std::vector<std::string> words;
    if (utf8.empty()) return words;
    if (SplitPlainWords(utf8, firstRoom, IsAtext, words)) return words;
    const std::string quoted = QuotedText(utf8);
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return IsPrintableAscii(static_cast<unsigned char>(c)); }) &&
        quoted.size() <= firstRoom && utf8.find("=?") == std::string_view::npos)
        return {quoted};
    return EncodeWords(utf8, firstRoom);
}

std::string FoldedField(std::string_view name, const std::vector<std::string>& tokens) {
    std::string out(name);
    out += ':';
    std::size_t column = out.size();
    bool first = true;
    for (const std::string& token : tokens) {
        if (!first && column + 1 + token.size() > kFoldWidth) {
            out += "\r\n";
            column = 0;
        }
        out += ' ';
        out += token;
        column += 1 + token.size();
        first = false;
    }
    return out;
}

std::vector<std::string> ParameterTokens(std::string_view name, std::string_view utf8) {
    const std::string quoted = QuotedText(utf8);
    // A continuation line holds a blank, the parameter and its ';'.
    const std::size_t lineRoom = kFoldWidth - 2;
    // A quoted value holding "=?" would be read as encoded words by the
    // many readers that decode them in parameters too.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return IsPrintableAscii(static_cast<unsigned char>(c)); }) &&
        utf8.find("=?") == std::string_view::npos && name.size() + 1 + quoted.size() <= lineRoom)
        return {std::string(name) + "=" + quoted};

    const std::string whole = std::string(name) + "*=UTF-8''" + PercentEncoded(utf8);
    if (whole.size() <= lineRoom) return {whole};
    std::vector<std::string> sections;
    for (std::size_t i = 0; i < utf8.size();) {
        std::string section = std::string(name) + "*" + std::to_string(sections.size()) + "*=";
        if (sections.empty()) section += "UTF-8''";
        std::size_t end = i;
        std::string encoded;
        while (end < utf8.size()) {
            const std::size_t next = end + CharacterBytes(utf8, end);
            const std::string more = PercentEncoded(utf8.substr(end, next - end));
            if (section.size() + encoded.size() + more.size() > lineRoom && end > i) break;
            encoded += more;
            end = next;
        }
        sections.push_back(section + encoded);
        i = end;
    }
    for (std::size_t k = 0; k + 1 < sections.size(); ++k) sections[k] += ';';
    return sections;
}

std::string QuotedText(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

bool IsMediaType(std::string_view value) {
    // RFC 2045 token: printable ASCII but blanks and tspecials.
    const auto isToken = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
            const unsigned char u = static_cast<unsigned char>(c);
            return u > 0x20 && u < 0x7F && std::string_view("()<>@,;:\\\"/[]?=").find(c) == std::string_view::npos;
        });
    };
    const std::size_t slash = value.find('/');
    return slash != std::string_view::npos && isToken(value.substr(0, slash)) && isToken(value.substr(slash + 1));
}

}  // namespace tarnwick::mime
