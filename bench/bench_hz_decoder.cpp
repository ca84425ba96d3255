// HZ decoding speed over mixed ASCII and GB text.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "hanzi/HzDecoder.h"

namespace {

// Large enough to leave the caches' small sizes behind, as a long page would.
constexpr std::size_t kTextBytes = 1 << 20;

// Lines of ASCII with a run of GB2312 characters in each, as in mail text.
std::string MixedHzText() {
    std::mt19937 random(1843);
    const std::string ascii = "The next sentence is in GB: ";
    std::string text;
    text.reserve(kTextBytes + 256);
    while (text.size() < kTextBytes) {
        text += ascii;
        text += "~{";
        for (int i = 0; i < 24; ++i) {
            text += static_cast<char>(0x30 + random() % 0x28);   // level-1 rows
            text += static_cast<char>(0x21 + random() % 0x5E);
        }
        text += "~}.\n";
    }
    text.resize(kTextBytes);
    return text;
}

void BM_HzDecode(benchmark::State& state) {
    const std::string text = MixedHzText();
    std::vector<char> out(text.size());
    for (auto _ : state) {
        long errors = 0;
        std::size_t written = tarnwick::hanzi::DecodeHz(text.data(), text.size(), out.data(), errors);
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_HzDecode);

}  // namespace
