// Helpers for narrow text in a double-byte code page (GBK).
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick::frame {

// True for a byte that starts a double-byte GBK character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

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
