// Form-data parsing speed on a large upload, where the delimiter search over
// the file's bytes is nearly all of the work, and on a hostile body of many
// parts before a long tail, where any search that runs past its own part
// would make the cost grow with parts times tail.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "upload/FormDataParser.h"

namespace {

// An upload near the size of a large mail attachment.
constexpr std::size_t kFileBytes = 50u << 20;

std::string LargeUploadBody() {
    const std::string d = "------WebKitFormBoundaryx7YpKq2Lm9TzR4bW";
    std::string body;
    body.reserve(kFileBytes + 1024);
    body += d + "\r\nContent-Disposition: form-data; name=\"From\"\r\n\r\nalice@example.com\r\n";
    body += d + "\r\nContent-Disposition: form-data; name=\"To\"\r\n\r\nbob@example.com\r\n";
    body += d + "\r\nContent-Disposition: form-data; name=\"Subject\"\r\n\r\nThe archive\r\n";
    body += d + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"C:\\data\\archive.bin\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n";
    std::mt19937 random(2388);
    for (std::size_t i = 0; i < kFileBytes; i += 4) {
        const std::uint32_t word = random();
        body.append(reinterpret_cast<const char*>(&word), 4);
    }
    body += "\r\n" + d + "--\r\n";
    return body;
}

void BM_FormDataParse(benchmark::State& state) {
    const std::string body = LargeUploadBody();
    tarnwick::upload::FormDataParser parser;
    for (auto _ : state) {
        parser.Parse(body.data(), static_cast<std::int32_t>(body.size()));
        benchmark::DoNotOptimize(parser.FileData("file1", "C:\\data\\archive.bin").length);
    }
    if (parser.FileData("file1", "C:\\data\\archive.bin").length != static_cast<std::int32_t>(kFileBytes))
        state.SkipWithError("the file field was not found whole");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_FormDataParse)->Unit(benchmark::kMillisecond);

// 1,000 parts whose header has no blank line, then one part whose header
// runs on for the tail (state.range(0) bytes of short lines) before its
// blank line: a search for a part's header end that ran past the part's own
// delimiter would cross the whole tail once per part.
std::string ManyPartsLongTailBody(std::size_t tailBytes) {
    const std::string d = "------WebKitFormBoundaryx7YpKq2Lm9TzR4bW";
    std::string body;
    body.reserve(tailBytes + 100000);
    for (int i = 0; i < 1000; ++i)
        body += d + "\r\nContent-Disposition: form-data; name=\"f" + std::to_string(i) + "\"\r\nx\r\n";
    body += d + "\r\nContent-Disposition: form-data; name=\"tail\"\r\n";
    const std::size_t end = body.size() + tailBytes;
    while (body.size() < end) body += "X-Line: a\r\n";
    body += "\r\nx\r\n" + d + "--\r\n";
    return body;
}

void BM_FormDataManyPartsLongTail(benchmark::State& state) {
    const std::string body = ManyPartsLongTailBody(static_cast<std::size_t>(state.range(0)));
    tarnwick::upload::FormDataParser parser;
    for (auto _ : state) {
        parser.Parse(body.data(), static_cast<std::int32_t>(body.size()));
        benchmark::DoNotOptimize(parser.FieldCount());
    }
    if (parser.FieldCount() != 1 || parser.FieldValue("tail").length != 1)
        state.SkipWithError("the tail field was not read");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_FormDataManyPartsLongTail)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
