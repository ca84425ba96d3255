// What the fuzz targets and the native replay of their saved inputs share:
// an invariant that fails throws CheckFailed with its place and text. A
// target turns it into a crash (so libFuzzer keeps the input); the native
// test reports it as a failure of the input's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tarnwick::fuzz {

class CheckFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

[[noreturn]] inline void FailCheck(const char* condition, const char* file, int line) {
    throw CheckFailed(std::string(file) + ":" + std::to_string(line) + ": " + condition);
}

// One check of one input: the bytes are the fuzzer's (read only).
using CheckFunction = void (*)(const std::uint8_t* data, std::size_t size);

// The body of a libFuzzer entry point.
inline int RunTarget(CheckFunction check, const std::uint8_t* data, std::size_t size) {
    try {
        check(data, size);
    } catch (const CheckFailed& failed) {
        std::fprintf(stderr, "invariant broken: %s\n", failed.what());
        std::abort();
    }
    return 0;
}

}  // namespace tarnwick::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::tarnwick::fuzz::FailCheck(#condition, __FILE__, __LINE__))
