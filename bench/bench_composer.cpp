// Throughput of the message composer: a message with one large attachment
// written to a file, as posting does. The attachment is encoded from the
// posted bytes straight to the file; the goal is at least 500 MB/s of input.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/FileSystem.h"
#include "sendmail/MultipartMessage.h"

namespace {

using namespace tarnwick;

constexpr std::size_t kAttachmentBytes = 20u << 20;

std::string RandomBytes(std::size_t n) {
    std::string data(n, '\0');
    std::mt19937 rng(42);
    for (auto& c : data) c = static_cast<char>(rng() & 0xFF);
    return data;
}

void BM_ComposeAttachment(benchmark::State& state) {
    const std::string output = "/tmp/tarnwick_bench_message.in";
    const std::string attachment = RandomBytes(kAttachmentBytes);
    for (auto _ : state) {
        sendmail::MultipartMessage message;
        message.SetFrom("ann@example.com");
        message.ParseRecipients("bob@example.com;Carl <carl@example.com>");
        message.SetSubject("Quarterly figures");
        message.SetBody("The figures are attached.");
        message.AddAttachment("figures.bin", attachment);
        std::FILE* f = platform::OpenStdioFile(output, "w+b");
        if (f == nullptr) {
            state.SkipWithError("cannot create the message file");
            break;
        }
        message.WriteTo(f);
        std::fclose(f);
        // Posting removes its message file once delivered; a fresh file
        // each time also keeps the file system from flushing a rewritten one.
        std::remove(output.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kAttachmentBytes));
}
BENCHMARK(BM_ComposeAttachment)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ComposeText(benchmark::State& state) {
    // A 1 MiB typed text: wrapping must stay linear in the text's length.
    // The message goes to a temporary file that each round writes again.
    std::string body;
    while (body.size() < (1u << 20)) body += "lorem ipsum dolor sit amet, consectetur adipiscing ";
    std::FILE* f = std::tmpfile();
    if (f == nullptr) {
        state.SkipWithError("cannot create the message file");
        return;
    }
    for (auto _ : state) {
        sendmail::MultipartMessage message;
        message.SetBody(body);
        std::rewind(f);
        message.WriteTo(f);
    }
    std::fclose(f);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ComposeText)->Unit(benchmark::kMillisecond);

}  // namespace
