#include "text/NarrowText.h"

#include <array>

#include "platform/Charset.h"

namespace tarnwick::text {
namespace {

// The system's answer for every byte, asked once.
std::array<bool, 256> LeadByteTable() {
    std::array<bool, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = platform::IsSystemLeadByte(static_cast<char>(b));
    return table;
}

}  // namespace

bool IsLeadByte(char c) {
    static const std::array<bool, 256> table = LeadByteTable();
    return table[static_cast<unsigned char>(c)];
}

bool IsSecondByte(const char* begin, const char* pos, Pairing pairing) {
    // Any byte outside the lead range ends a character, so the run of lead-
    // range bytes just before pos starts a character, and its bytes pair up:
    // pos is a second byte when that run is odd (and, by the trail range,
    // when it is a trail byte).
    std::size_t run = 0;
    while (pos - run > begin && IsLeadByte(*(pos - run - 1))) ++run;
    return run % 2 == 1 && (pairing == Pairing::AnyByte || IsTrailByte(*pos));
}

std::string CutAtCharBoundary(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        std::size_t width = StartsDoubleByte(text, i, Pairing::AnyByte) ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return text.substr(0, i);
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool EqualIgnoringCaseByCharacter(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (StartsDoubleByte(a, i, Pairing::AnyByte)) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FoldCaseByCharacter(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (StartsDoubleByte(text, i, Pairing::AnyByte))
            ++i;
        else
            text[i] = LowerAscii(text[i]);
    }
    return text;
}

std::string TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string DecodeHexEscapes(std::string_view text, char escape, char spaceFor) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == escape && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else if (spaceFor != kNoSpaceFor && c == spaceFor) {
            decoded += ' ';
        } else {
            decoded += c;
        }
    }
    return decoded;
}

}  // namespace tarnwick::text
