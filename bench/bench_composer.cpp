// Throughput of the message composer: a message with one large attachment
// written to a file, as posting does. The attachment is encoded from the
// posted bytes straight to the file; the goal is at least 500 MB/s of input.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/FileSystem.h"
#include "sendmail/MultipartMessage.h"
#include "sendmail/Utf8Message.h"

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

void BM_ComposeUtf8(benchmark::State& state) {
    // BM_ComposeText's 1 MiB of typed text, in Korean, through MailWriter's
    // message: every byte of it goes quoted-printable, and a small file with
    // a Korean name makes the message multipart with an RFC 2231 name.
    std::string body;
    while (body.size() < (1u << 20)) body += "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\xA9\x94\xEC\x9D\xBC\xEC\x9D\x80 ";
    const std::string file(1024, 'x');
    std::FILE* f = std::tmpfile();
    if (f == nullptr) {
        state.SkipWithError("cannot create the message file");
        return;
    }
    for (auto _ : state) {
        sendmail::Utf8Message message;
        message.SetFrom("\xEA\xB9\x80\xEC\xB2\xA0\xEC\x88\x98 <ann@example.com>");
        message.AddTo("bob@example.com");
        message.SetSubject("\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C");
        message.SetBody(body);
        message.AddAttachment("\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C.txt", "text/plain", file);
        std::rewind(f);
        message.WriteTo(f, 0, "1.2.3@example.com");
    }
    std::fclose(f);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size() + file.size()));
}
BENCHMARK(BM_ComposeUtf8)->Unit(benchmark::kMillisecond);

}  // namespace
