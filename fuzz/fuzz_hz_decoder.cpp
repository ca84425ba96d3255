// libFuzzer target: HZ decoding (fuzz/checks/HzDecoderCheck.h).
#include "fuzz/checks/HzDecoderCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckHzDecoder, data, size);
}
