// Fuzz target: HZ decoding of arbitrary bytes stays within its buffers, never
// writes more than it reads, and agrees with the cut-at-0 conversion.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "hanzi/HzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick::hanzi;
    // Exactly sized copies, so that ASan sees any access past either end.
    std::unique_ptr<char[]> in(new char[size]);
    std::unique_ptr<char[]> out(new char[size]);
    if (size > 0) std::memcpy(in.get(), data, size);

    long errors = 0;
    const std::size_t written = DecodeHz(in.get(), size, out.get(), errors);
    if (written > size) std::abort();
    // Every error consumes at least one input byte.
    if (errors < 0 || static_cast<std::size_t>(errors) > size) std::abort();

    long again = 0;
    const std::string text = HzToGb(std::string(in.get(), size), again);
    if (again != errors) std::abort();
    const std::size_t untilZero = strnlen(out.get(), written);
    if (text != std::string(out.get(), untilZero)) std::abort();
    if (SyntaxErrorLine(errors).empty()) std::abort();
    return 0;
}
