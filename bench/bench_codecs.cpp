// Throughput of the transfer codecs. The stream encoder is
// the composer's attachment path; it must sustain well over 500 MB/s of input.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "mime/Codecs.h"

namespace {

using namespace tarnwick::mime;

std::vector<char> RandomInput(std::size_t n) {
    std::vector<char> data(n);
    std::mt19937 rng(42);
    for (auto& c : data) c = static_cast<char>(rng() & 0xFF);
    return data;
}

void BM_Base64EncodeToStream(benchmark::State& state) {
    const std::vector<char> in = RandomInput(static_cast<std::size_t>(state.range(0)));
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (sink == nullptr) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(Base64EncodeToStream(in.data(), in.data() + in.size(), sink));
    std::fclose(sink);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Base64EncodeToStream)->Arg(1 << 16)->Arg(8 << 20);

void BM_Base64EncodeRange(benchmark::State& state) {
    const std::vector<char> in = RandomInput(static_cast<std::size_t>(state.range(0)));
    std::string out;
    for (auto _ : state) {
        out.clear();
        Base64EncodeRange(in.data(), in.data() + in.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Base64EncodeRange)->Arg(8 << 20);

void BM_Base64DecodeRange(benchmark::State& state) {
    const std::vector<char> raw = RandomInput(static_cast<std::size_t>(state.range(0)));
    std::string text;
    Base64EncodeRange(raw.data(), raw.data() + raw.size(), text);
    std::vector<char> out(text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(Base64DecodeRange(text.data(), text.data() + text.size(), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Base64DecodeRange)->Arg(8 << 20);

void BM_QuotedPrintableDecodeRange(benchmark::State& state) {
    std::string text;
    while (text.size() < static_cast<std::size_t>(state.range(0))) text += "caf=C3=A9 au lait, soft=\r\nbreak\r\n";
    std::vector<char> out(text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(QuotedPrintableDecodeRange(text.data(), text.data() + text.size(), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_QuotedPrintableDecodeRange)->Arg(8 << 20);

}  // namespace
