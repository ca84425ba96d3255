// Narrow text in the system code page (GBK on the systems served): which
// bytes start a double-byte character, cutting without splitting one, and
// comparisons that ignore the case of ASCII letters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/Limits.h"

namespace tarnwick::text {

// True for a byte that starts a double-byte character in the system code
// page (in code page 936, GBK: 0x81 to 0xFE). The second byte of such a
// character may be any byte from 0x40 up, a backslash or a letter included.
bool IsLeadByte(char c);

// True when pos is the second byte of a double-byte character of the text
// that starts at begin.
bool IsTrailByte(const char* begin, const char* pos);

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal when ASCII letters are compared without regard to case in every
// byte, the second byte of a double-byte character included.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// Equal when ASCII letters are compared without regard to case and a
// double-byte character is compared as one unit (its bytes exactly).
bool EqualIgnoringCaseByCharacter(std::string_view a, std::string_view b);

// text with ASCII letters in lower case, double-byte characters as they
// are: equal results mean EqualIgnoringCaseByCharacter.
std::string FoldCaseByCharacter(std::string text);

// The longest prefix of text that fits maxBytes without splitting a
// double-byte character.
std::string CutAtCharBoundary(const std::string& text, std::size_t maxBytes);

// A property held in a 256-byte narrow buffer: at most kMaxPathBytes, cut at
// a character boundary when a longer value is written.
class NarrowBuffer {
public:
    static constexpr std::size_t kCapacity = kMaxPathBytes;
    const std::string& Value() const { return value_; }
    void Assign(const std::string& value) { value_ = CutAtCharBoundary(value, kCapacity); }

private:
    std::string value_;
};

}  // namespace tarnwick::text
