// libFuzzer target: the transfer codecs (fuzz/checks/CodecsCheck.h).
#include "fuzz/checks/CodecsCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckCodecs, data, size);
}
