// Reading stored messages as the mailbox pages do: the part tree of a large
// message, finding and decoding its attachment, the summary line of every
// message of a mailbox, and the attachment walk of a message with very many
// parts (anyone who can send mail to a user can send one, so its cost must
// grow with the message, not with the square of its part count).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mailbox/MailboxIndex.h"
#include "mailbox/MessageReader.h"
#include "mime/Codecs.h"
#include "mime/MimePart.h"

namespace {

using namespace tarnwick;

// A message of about 10 MiB: a short text part and a 7.3 MiB attachment in
// base64 lines of 72 characters.
const std::string& LargeMessage() {
    static const std::string message = [] {
        std::vector<char> data(static_cast<std::size_t>(7.3 * (1 << 20)));
        std::mt19937 rng(7);
        for (auto& c : data) c = static_cast<char>(rng() & 0xFF);
        std::string text =
            "From: Ann <ann@example.com>\r\nTo: bob@example.com\r\nSubject: The photographs\r\n"
            "Date: Mon, 7 Dec 2026 10:00:00 +0800\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"----=_NextPart_000_0012_01D2\"\r\n\r\n"
            "This is a multi-part message in MIME format.\r\n\r\n"
            "------=_NextPart_000_0012_01D2\r\nContent-Type: text/plain; charset=\"gb2312\"\r\n"
            "Content-Transfer-Encoding: 7bit\r\n\r\nThe photographs from Saturday are attached.\r\n\r\n"
            "------=_NextPart_000_0012_01D2\r\nContent-Type: image/jpeg; name=\"beach.jpg\"\r\n"
            "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"beach.jpg\"\r\n\r\n";
        mime::Base64EncodeRange(data.data(), data.data() + data.size(), text);
        text += "\r\n\r\n------=_NextPart_000_0012_01D2--\r\n";
        return text;
    }();
    return message;
}

void BM_ParseMessage(benchmark::State& state) {
    const std::string& text = LargeMessage();
    for (auto _ : state) {
        mime::MimePart root(text.data(), text.data() + text.size());
        benchmark::DoNotOptimize(root.children.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseMessage)->Unit(benchmark::kMillisecond);

// What a download does: parse, find the attachment by name, decode it.
void BM_DecodeAttachment(benchmark::State& state) {
    const std::string& text = LargeMessage();
    for (auto _ : state) {
        mime::MimePart root(text.data(), text.data() + text.size());
        const mime::MimePart* part = mailbox::FindAttachmentByName(root, "BEACH.JPG");
        if (part == nullptr) {
            state.SkipWithError("attachment not found");
            break;
        }
        // As a download does it: straight into a fresh buffer that is sent.
        std::unique_ptr<char[]> bytes(new char[mime::DecodedCapacity(*part)]);
        benchmark::DoNotOptimize(mime::DecodeBodyInto(*part, bytes.get()));
        benchmark::DoNotOptimize(bytes.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DecodeAttachment)->Unit(benchmark::kMillisecond);

// The summary line of every message of a 1,000-message mailbox, each read
// the way a page reads it: list the directory to the entry, map, parse, take
// the four fields.
void BM_TitleInfoMailbox(benchmark::State& state) {
    namespace fs = std::filesystem;
    constexpr long kMessages = 1000;
    const fs::path root = fs::temp_directory_path() / "tarnwick_bench_mailbox";
    const fs::path box = root / "ann" / "mailbox";
    fs::remove_all(root);
    fs::create_directories(box);
    std::size_t total = 0;
    for (long i = 0; i < kMessages; ++i) {
        const std::string text = "From: sender" + std::to_string(i) +
                                 "@example.com\r\nTo: ann@example.com\r\nSubject: =?gb2312?B?1tDOxA==?= note " +
                                 std::to_string(i) + "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0800\r\n"
                                 "Content-Type: text/plain\r\n\r\n" + std::string(1500, 'x') + "\r\n";
        std::FILE* f = std::fopen((box / ("m" + std::to_string(i) + ".in")).c_str(), "wb");
        if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
            state.SkipWithError("cannot write the mailbox");
            if (f) std::fclose(f);
            return;
        }
        std::fclose(f);
        total += text.size();
    }
    const mailbox::MailboxIndex index(root.string() + "/", "ann");
    for (auto _ : state) {
        for (long i = 0; i < kMessages; ++i) {
            mailbox::MessageView view;
            if (index.OpenMessage(i, view) != mailbox::ReadOutcome::Opened) {
                state.SkipWithError("message not opened");
                break;
            }
            mime::MimePart message(view.Begin(), view.End());
            benchmark::DoNotOptimize(mailbox::SummaryValues(message).size());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total));
    fs::remove_all(root);
}
BENCHMARK(BM_TitleInfoMailbox)->Unit(benchmark::kMillisecond);

// A message of parts one-line attachment parts (about 110 bytes each).
std::string ManyAttachments(long parts) {
    std::string text = "From: a@b\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    for (long i = 0; i < parts; ++i)
        text += "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=f" + std::to_string(i) +
                ".txt\r\n\r\nx\r\n";
    text += "--b--\r\n";
    return text;
}

// Parse, list every name, and find the last one by name: what a page does to
// show a message and download its last attachment.
void BM_AttachmentListManyParts(benchmark::State& state) {
    const long parts = static_cast<long>(state.range(0));
    const std::string text = ManyAttachments(parts);
    const std::string last = "F" + std::to_string(parts - 1) + ".TXT";
    for (auto _ : state) {
        mime::MimePart root(text.data(), text.data() + text.size());
        const std::string list = mailbox::AttachmentList(root);
        const mime::MimePart* found = mailbox::FindAttachmentByName(root, last);
        if (found == nullptr) state.SkipWithError("last attachment not found");
        benchmark::DoNotOptimize(list.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AttachmentListManyParts)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
