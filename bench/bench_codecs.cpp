// Throughput of the transfer codecs, read against BM_Memcpy of the same run:
// the cost of touching the same bytes once. The stream encoder is the
// composer's attachment path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mime/Codecs.h"

namespace {

using namespace tarnwick::mime;

constexpr std::size_t kMiB = 1u << 20;

std::vector<char> RandomInput(std::size_t n) {
    std::vector<char> data(n);
    std::mt19937 rng(42);
    for (auto& c : data) c = static_cast<char>(rng() & 0xFF);
    return data;
}

void BM_Memcpy(benchmark::State& state) {
    const std::vector<char> in = RandomInput(static_cast<std::size_t>(state.range(0)));
    std::vector<char> out(in.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Memcpy)->Arg(1 << 20)->Arg(8 << 20);

// 1 MiB of base64 text as mail carries it: 72-character lines ended by CR LF.
void BM_Base64Decode(benchmark::State& state) {
    std::string text;
    const std::vector<char> raw = RandomInput(kMiB / 4 * 3);
    Base64EncodeRange(raw.data(), raw.data() + raw.size(), text);
    std::vector<char> out(text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(Base64DecodeRange(text.data(), text.data() + text.size(), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Base64Decode);

// 1 MiB of input encoded to memory (the composer's in-memory form).
void BM_Base64Encode(benchmark::State& state) {
    const std::vector<char> in = RandomInput(kMiB);
    std::string out;
    for (auto _ : state) {
        out.clear();
        Base64EncodeRange(in.data(), in.data() + in.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_Base64Encode);

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
BENCHMARK(BM_Base64EncodeToStream)->Arg(8 << 20);

// 1 MiB of mostly ASCII text with soft line breaks and an escape now and then,
// as quoted-printable mail in a Latin script reads.
void BM_QuotedPrintableDecode(benchmark::State& state) {
    const std::string line =
        "The quarterly figures are attached; the caf=C3=A9 on the corner closes at six, so we meet=\r\n"
        " at the office instead. Bring the signed copies and the =E2=82=AC receipts please.\r\n";
    std::string text;
    while (text.size() < kMiB) text += line;
    std::vector<char> out(text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(QuotedPrintableDecodeRange(text.data(), text.data() + text.size(), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_QuotedPrintableDecode);

}  // namespace
