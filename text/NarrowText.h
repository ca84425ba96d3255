// The text toolkit of the engine and the page host: narrow text in the
// system code page (GBK on the systems served), which bytes start and end a
// double-byte character, cutting without splitting one, comparisons that
// ignore the case of ASCII letters, blanks, and hexadecimal escapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/Limits.h"

namespace tarnwick::text {

// DecodeHexEscapes without a byte that stands for a space.
constexpr char kNoSpaceFor = 0;

// True for a byte that starts a double-byte character in the system code
// page (in code page 936, GBK: 0x81 to 0xFE).
bool IsLeadByte(char c);

// True for a byte of the code page's trail range, 0x40 to 0xFE but 0x7F (a
// backslash and the letters among them).
inline bool IsTrailByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// How a lead byte pairs with the byte after it. Bytes outside the trail
// range are never lead bytes, so both rules step through text alike and
// differ only in whether such a byte after a lead byte is read on its own.
enum class Pairing {
    // Only with a trail byte: names and paths, where a control byte or a
    // blank after a lead byte must still be refused or seen as a blank.
    TrailRange,
    // With whatever byte follows, as the system's own stepping (CharNextA)
    // does: cutting and the composer's trimming and line breaking, whose
    // written messages and cut values stay as they have always been.
    AnyByte,
};

// True when a double-byte character starts at text[i].
inline bool StartsDoubleByte(std::string_view text, std::size_t i, Pairing pairing) {
    return IsLeadByte(text[i]) && i + 1 < text.size() && (pairing == Pairing::AnyByte || IsTrailByte(text[i + 1]));
}

// True when pos is the second byte of a double-byte character of the text
// that starts at begin.
bool IsSecondByte(const char* begin, const char* pos, Pairing pairing);

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Equal when ASCII letters are compared without regard to case in every
// byte (or UTF-16 unit), the second byte of a double-byte character included.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// Equal when ASCII letters are compared without regard to case and a
// double-byte character is compared as one unit (its bytes exactly).
bool EqualIgnoringCaseByCharacter(std::string_view a, std::string_view b);

// text with ASCII letters in lower case, double-byte characters as they
// are: equal results mean EqualIgnoringCaseByCharacter.
std::string FoldCaseByCharacter(std::string text);

// Space or tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// text without the blanks around it.
std::string TrimBlanks(std::string_view text);

// Upper-case hexadecimal digits, as escapes are written.
constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of a hexadecimal digit (either case), a byte or a UTF-16 unit;
// -1 for anything else.
template <class Char>
constexpr int HexDigitValue(Char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// text with every escape byte followed by two hexadecimal digits ("%41",
// "=41") decoded to that byte; an escape without them stays as it is. With
// a spaceFor byte ('+' in forms, '_' in RFC 2047 Q words), that byte is a
// space.
std::string DecodeHexEscapes(std::string_view text, char escape, char spaceFor = kNoSpaceFor);

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
