#include "text/NarrowText.h"

#include <array>

#include "platform/FileSystem.h"

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

bool IsTrailByte(const char* begin, const char* pos) {
    // Any byte outside the lead range ends a character, so the run of lead-
    // range bytes just before pos starts a character, and its bytes pair up:
    // pos is a second byte exactly when that run is odd.
    std::size_t run = 0;
    while (pos - run > begin && IsLeadByte(*(pos - run - 1))) ++run;
    return run % 2 == 1;
}

std::string CutAtCharBoundary(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        std::size_t width = IsLeadByte(text[i]) ? 2 : 1;
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

bool EqualIgnoringCaseByCharacter(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i]) && i + 1 < a.size()) {
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
        if (IsLeadByte(text[i]))
            ++i;
        else
            text[i] = LowerAscii(text[i]);
    }
    return text;
}

}  // namespace tarnwick::text
