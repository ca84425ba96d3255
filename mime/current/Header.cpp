// Header fields as mail software writes them today. See Header.h.
#include "mime/current/Header.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "mime/Codecs.h"
#include "text/Charsets.h"
#include "text/NarrowText.h"

namespace tarnwick::mime::current {
namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsSpace(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = text::LowerAscii(c);
    return out;
}

// A field name as RFC 5322 allows it: printable ASCII but the colon, no blank.
bool IsFieldName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (c < 0x21 || c > 0x7E || c == ':') return false;
    return true;
}

void AppendBounded(std::string& to, std::string_view text) {
    if (to.size() >= kMaxFieldBytes) return;
    to.append(text.substr(0, kMaxFieldBytes - to.size()));
}

// Splits a structured value at ';' outside quoted strings and comments, with
// comments removed; quoted strings are kept with their quotes for the caller.
std::vector<std::string> SplitSegments(std::string_view value) {
    std::vector<std::string> segments(1);
    int commentDepth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            segments.back() += c;
            if (c == '\\' && i + 1 < value.size()) {
                segments.back() += value[++i];
            } else if (c == '"') {
                quoted = false;
            }
        } else if (commentDepth > 0) {
            if (c == '\\') ++i;
            else if (c == '(') ++commentDepth;
            else if (c == ')') --commentDepth;
        } else if (c == '(') {
            commentDepth = 1;
        } else if (c == '"') {
            quoted = true;
            segments.back() += c;
        } else if (c == ';') {
            segments.emplace_back();
        } else {
            segments.back() += c;
        }
    }
    return segments;
}

// A parameter value: a quoted string without its quotes and escapes (text
// after the closing quote is ignored), or the token as written.
std::string ValueText(std::string_view raw) {
    raw = Trim(raw);
    if (raw.empty() || raw.front() != '"') return std::string(raw);
    std::string out;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] == '"') break;
        if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
        out += raw[i];
    }
    return out;
}

// Hexadecimal escapes decoded: escape followed by two hexadecimal digits is
// that byte (RFC 2231 "%XX", RFC 2047 Q "=XX", where '_' also stands for a
// space); an escape without two digits stays as it is.
std::string Unescaped(std::string_view s, char escape, bool underscoreIsSpace) {
    return text::DecodeHexEscapes(s, escape, underscoreIsSpace ? '_' : text::kNoSpaceFor);
}

// One section of an RFC 2231 parameter: "name*N" or "name*N*".
struct Section {
    long number;
    bool extended;
    std::string value;
};

// The longest number of continuation sections read; a name split further is
// cut there (real names take a handful).
constexpr long kMaxSections = 1000;

// One encoded word found at text[at]: its charset, its decoded bytes and where
// it ends. False when text[at] does not start a well-formed word.
struct EncodedWord {
    std::string charset;
    std::string bytes;
    std::size_t end = 0;
};

bool ReadEncodedWord(std::string_view text, std::size_t at, EncodedWord& word) {
    if (text.compare(at, 2, "=?") != 0) return false;
    const std::size_t charsetEnd = text.find('?', at + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd == at + 2 || charsetEnd + 2 >= text.size() ||
        text[charsetEnd + 2] != '?')
        return false;
    const char letter = text::LowerAscii(text[charsetEnd + 1]);
    if (letter != 'b' && letter != 'q') return false;
    const std::size_t textBegin = charsetEnd + 3;
    // The encoded text holds no '?': the first one must close the word.
    const std::size_t close = text.find('?', textBegin);
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != '=') return false;
    std::string_view charset = text.substr(at + 2, charsetEnd - at - 2);
    charset = charset.substr(0, charset.find('*'));   // RFC 2231 language suffix
    if (charset.find_first_of(" \t\r\n") != std::string_view::npos) return false;
    const std::string_view encoded = text.substr(textBegin, close - textBegin);

    word.charset = std::string(charset);
    if (letter == 'b') {
        word.bytes.assign(encoded.size(), '\0');
        word.bytes.resize(Base64DecodeRange(encoded.data(), encoded.data() + encoded.size(), &word.bytes[0]));
    } else {
        word.bytes = Unescaped(encoded, '=', /*underscoreIsSpace=*/true);
    }
    word.end = close + 2;
    return true;
}

}  // namespace

std::vector<Field> ReadFields(const char*& cursor, const char* end) {
    std::vector<Field> fields;
    while (cursor != nullptr) {
        if (cursor >= end) {
            cursor = nullptr;
            break;
        }
        const char* lf = static_cast<const char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
        const char* lineEnd = lf != nullptr ? lf : end;
        const char* const lineStart = cursor;
        std::string_view line(cursor, static_cast<std::size_t>(lineEnd - cursor));
        cursor = lf != nullptr ? lf + 1 : nullptr;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (line.empty()) break;   // the empty line that ends the block
        if (IsBlank(line.front())) {
            // A folded line: the line break goes, the blank stays.
            if (!fields.empty()) AppendBounded(fields.back().value, line);
            continue;
        }
        const std::size_t colon = line.find(':');
        std::string_view name = colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
        while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
        if (!IsFieldName(name)) {
            // An mbox "From " line before the first field is passed over; any
            // other line that is no field is where a header without its
            // empty line ends and the body begins.
            if (fields.empty() && line.substr(0, 5) == "From ") continue;
            cursor = lineStart;
            break;
        }
        Field field;
        field.name = std::string(name);
        AppendBounded(field.value, line.substr(colon + 1));
        fields.push_back(std::move(field));
    }
    for (Field& field : fields) field.value = std::string(Trim(field.value));
    return fields;
}

const Field* FindField(const std::vector<Field>& fields, std::string_view name) {
    for (const Field& field : fields)
        if (text::EqualIgnoringAsciiCase(field.name, name)) return &field;
    return nullptr;
}

StructuredValue ParseStructured(std::string_view fieldValue) {
    StructuredValue result;
    std::vector<std::string> segments = SplitSegments(fieldValue);
    result.value = std::string(Trim(segments[0]));

    // Each name's plain value and RFC 2231 sections, names in order of first
    // appearance.
    struct Gathered {
        std::string name;
        bool hasPlain = false;
        std::string plain;
        std::vector<Section> sections;
    };
    std::vector<Gathered> gathered;
    std::map<std::string, std::size_t> indexOf;
    auto entry = [&](const std::string& name) -> Gathered& {
        const auto added = indexOf.emplace(name, gathered.size());
        if (added.second) {
            gathered.emplace_back();
            gathered.back().name = name;
        }
        return gathered[added.first->second];
    };
    for (std::size_t i = 1; i < segments.size(); ++i) {
        const std::string& segment = segments[i];
        const std::size_t eq = segment.find('=');
        if (eq == std::string::npos) continue;
        std::string name = Lower(Trim(std::string_view(segment).substr(0, eq)));
        const std::string value = ValueText(std::string_view(segment).substr(eq + 1));
        const std::size_t star = name.find('*');
        std::string base = name.substr(0, star);
        if (base.empty()) continue;
        if (star == std::string::npos) {
            Gathered& g = entry(base);
            if (!g.hasPlain) g.plain = value;   // a name given twice keeps its first value
            g.hasPlain = true;
            continue;
        }
        // "*" alone, or "*N" with an optional trailing "*".
        std::string_view rest = std::string_view(name).substr(star + 1);
        Section section{0, false, value};
        if (rest.empty()) {
            section.extended = true;
        } else {
            long number = 0;
            std::size_t digits = 0;
            while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && number < kMaxSections)
                number = number * 10 + (rest[digits++] - '0');
            if (digits == 0 || number >= kMaxSections) continue;
            rest.remove_prefix(digits);
            if (rest == "*") section.extended = true;
            else if (!rest.empty()) continue;
            section.number = number;
        }
        entry(base).sections.push_back(std::move(section));
    }

    for (Gathered& g : gathered) {
        Parameter parameter;
        parameter.name = g.name;
        if (g.sections.empty()) {
            parameter.value = g.plain;
        } else {
            // The RFC 2231 form wins over a plain one given beside it for
            // older readers: it carries the charset. Sections in number
            // order; a number given twice keeps its first section.
            std::vector<Section>& sections = g.sections;
            std::stable_sort(sections.begin(), sections.end(),
                             [](const Section& a, const Section& b) { return a.number < b.number; });
            sections.erase(std::unique(sections.begin(), sections.end(),
                                       [](const Section& a, const Section& b) { return a.number == b.number; }),
                           sections.end());
            parameter.extended = sections.front().extended;
            for (std::size_t i = 0; i < sections.size(); ++i) {
                std::string_view value = sections[i].value;
                if (!sections[i].extended) {
                    AppendBounded(parameter.value, value);
                    continue;
                }
                if (i == 0) {
                    // charset'language'text
                    const std::size_t first = value.find('\'');
                    const std::size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
                    if (second != std::string_view::npos) {
                        parameter.charset = std::string(value.substr(0, first));
                        value.remove_prefix(second + 1);
                    }
                }
                AppendBounded(parameter.value, Unescaped(value, '%', /*underscoreIsSpace=*/false));
            }
        }
        result.parameters.push_back(std::move(parameter));
    }
    return result;
}

const Parameter* FindParameter(const StructuredValue& value, std::string_view name) {
    for (const Parameter& parameter : value.parameters)
        if (text::EqualIgnoringAsciiCase(parameter.name, name)) return &parameter;
    return nullptr;
}

std::u16string DecodeHeaderText(std::string_view text) {
    std::u16string out;
    std::string pendingBytes;   // adjacent words of one charset, joined before converting:
    std::string pendingCharset; // clients split a character between two words
    auto flush = [&] {
        if (!pendingBytes.empty()) out += text::ToUnicode(pendingBytes, pendingCharset);
        pendingBytes.clear();
    };
    std::size_t plainBegin = 0;
    bool afterWord = false;   // text since the last word is only blanks so far
    for (std::size_t i = 0; i < text.size();) {
        EncodedWord word;
        if (!ReadEncodedWord(text, i, word)) {
            ++i;
            continue;
        }
        std::string_view between = text.substr(plainBegin, i - plainBegin);
        const bool onlyBlanks = Trim(between).empty();
        if (!(afterWord && onlyBlanks)) {
            flush();
            out += text::RawTextToUnicode(between);
        }
        if (!text::EqualIgnoringAsciiCase(word.charset, pendingCharset)) flush();
        pendingCharset = word.charset;
        pendingBytes += word.bytes;
        afterWord = true;
        i = plainBegin = word.end;
    }
    flush();
    out += text::RawTextToUnicode(text.substr(plainBegin));
    return out;
}

std::u16string ParameterText(const Parameter& parameter) {
    if (parameter.extended) return text::ToUnicode(parameter.value, parameter.charset);
    return DecodeHeaderText(parameter.value);
}

}  // namespace tarnwick::mime::current
