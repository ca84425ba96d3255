// Helpers for narrow text in a double-byte code page (GBK).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::frame {

// True for a byte that starts a double-byte GBK character.
inline bool IsLeadByte(char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal when ASCII letters are compared without regard to case in every
// byte, the second byte of a double-byte character included.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// Equal when ASCII letters are compared without regard to case and a
// double-byte character is compared as one unit (its bytes exactly).
bool EqualIgnoringCaseByCharacter(std::string_view a, std::string_view b);

// The longest prefix of text that fits maxBytes without splitting a
// double-byte character.
std::string CutAtCharBoundary(const std::string& text, std::size_t maxBytes);

// A property held in a 256-byte narrow buffer: at most 255 bytes, cut at a
// character boundary when a longer value is written.
class NarrowBuffer {
public:
    static constexpr std::size_t kCapacity = 255;
    const std::string& Value() const { return value_; }
    void Assign(const std::string& value) { value_ = CutAtCharBoundary(value, kCapacity); }

private:
    std::string value_;
};

}  // namespace tarnwick::frame
