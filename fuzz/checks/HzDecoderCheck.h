// HZ decoding of arbitrary bytes stays within its buffers, never writes more
// than it reads, and agrees with the cut-at-0 conversion. Text outside HZ
// runs keeps its bytes: input without a "~" comes out as it went in, and only
// a 0 input byte can put a 0 (the end of the text) into the output.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/checks/Check.h"
#include "hanzi/HzDecoder.h"

namespace tarnwick::fuzz {

inline void CheckHzDecoder(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick::hanzi;
    // Exactly sized copies, so that ASan sees any access past either end.
    std::unique_ptr<char[]> in(new char[size == 0 ? 1 : size]);
    std::unique_ptr<char[]> out(new char[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(in.get(), data, size);

    long errors = 0;
    const std::size_t written = DecodeHz(in.get(), size, out.get(), errors);
    FUZZ_CHECK(written <= size);
    // Every error consumes at least one input byte.
    FUZZ_CHECK(errors >= 0 && static_cast<std::size_t>(errors) <= size);
    // No escape, so no HZ run: every byte, code-page bytes too, passes through.
    if (std::find(in.get(), in.get() + size, '~') == in.get() + size)
        FUZZ_CHECK(written == size && std::memcmp(out.get(), in.get(), size) == 0);
    // A 0x80 is never turned into the 0 that would end the text.
    FUZZ_CHECK(std::count(out.get(), out.get() + written, '\0') <= std::count(in.get(), in.get() + size, '\0'));

    long again = 0;
    const std::string text = HzToGb(std::string(in.get(), size), again);
    FUZZ_CHECK(again == errors);
    const std::size_t untilZero = strnlen(out.get(), written);
    FUZZ_CHECK(text == std::string(out.get(), untilZero));
    FUZZ_CHECK(!SyntaxErrorLine(errors).empty());
}

}  // namespace tarnwick::fuzz
