// Reading stored messages as the mailbox pages do: the part tree of a large
// message, finding and decoding its attachment, the summary line of every
// message of a mailbox, and the attachment walk of a message with very many
// parts (anyone who can send mail to a user can send one, so its cost must
// grow with the message, not with the square of its part count).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mailbox/MailboxIndex.h"
#include "mailbox/stored/Reading.h"
#include "mime/Codecs.h"
#include "mime/stored/Part.h"

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
        mime::stored::Part root(text.data(), text.data() + text.size());
        benchmark::DoNotOptimize(root.children.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseMessage)->Unit(benchmark::kMillisecond);

// What a download does: parse, find the attachment by name, decode it.
void BM_DecodeAttachment(benchmark::State& state) {
    const std::string& text = LargeMessage();
    for (auto _ : state) {
        mime::stored::Part root(text.data(), text.data() + text.size());
        const mime::stored::Part* part = mailbox::stored::FindAttachmentByName(root, "BEACH.JPG");
        if (part == nullptr) {
            state.SkipWithError("attachment not found");
            break;
        }
        // As a download does it: straight into a fresh buffer that is sent.
        std::unique_ptr<char[]> bytes(new char[DecodedCapacity(*part)]);
        benchmark::DoNotOptimize(DecodeBodyInto(*part, bytes.get()));
        benchmark::DoNotOptimize(bytes.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DecodeAttachment)->Unit(benchmark::kMillisecond);

// A mailbox of n messages under the temporary directory, made once per size
// for the whole run and removed at exit; its directory's time is set well in
// the past, as an inbox's is between deliveries. Empty when it cannot be made.
std::string MailboxOf(long n) {
    namespace fs = std::filesystem;
    static std::vector<fs::path> made;
    const fs::path root = fs::temp_directory_path() / ("tarnwick_bench_mailbox_" + std::to_string(n));
    const fs::path box = root / "ann" / "mailbox";
    if (std::find(made.begin(), made.end(), root) == made.end()) {
        if (made.empty()) std::atexit([] {
            std::error_code ignored;
            for (const fs::path& p : made) fs::remove_all(p, ignored);
        });
        made.push_back(root);
        fs::remove_all(root);
        fs::create_directories(box);
        for (long i = 0; i < n; ++i) {
            const std::string text = "From: sender" + std::to_string(i) +
                                     "@example.com\r\nTo: ann@example.com\r\nSubject: =?gb2312?B?1tDOxA==?= note " +
                                     std::to_string(i) + "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0800\r\n"
                                     "Content-Type: text/plain\r\n\r\n" + std::string(1500, 'x') + "\r\n";
            std::FILE* f = std::fopen((box / ("m" + std::to_string(i) + ".in")).c_str(), "wb");
            const bool written = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
            if (f) std::fclose(f);
            if (!written) return {};
        }
        fs::last_write_time(box, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    }
    return root.string() + "/";
}

// The summary lines of 10 messages near the end of a mailbox of range(0)
// messages (an inbox's last page), each read the way a page reads it: find
// the entry, map, parse, take the four fields. One call before timing takes
// the listing, as the page before would have.
void BM_TitleInfoMailbox(benchmark::State& state) {
    const long messages = static_cast<long>(state.range(0));
    const std::string root = MailboxOf(messages);
    if (root.empty()) {
        state.SkipWithError("cannot write the mailbox");
        return;
    }
    const mailbox::MailboxIndex index(root, "ann");
    if (index.MailCount() != messages) {
        state.SkipWithError("the mailbox does not hold every message");
        return;
    }
    for (auto _ : state) {
        for (long i = messages - 10; i < messages; ++i) {
            const auto read = [](const mime::stored::Part& message) {
                benchmark::DoNotOptimize(mailbox::stored::SummaryValues(message).size());
            };
            if (index.ReadMessage<mime::stored::Part>(i, read) != mailbox::ReadOutcome::Opened) {
                state.SkipWithError("message not opened");
                break;
            }
        }
    }
}
BENCHMARK(BM_TitleInfoMailbox)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

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
        mime::stored::Part root(text.data(), text.data() + text.size());
        const std::string list = mailbox::stored::AttachmentList(root);
        const mime::stored::Part* found = mailbox::stored::FindAttachmentByName(root, last);
        if (found == nullptr) state.SkipWithError("last attachment not found");
        benchmark::DoNotOptimize(list.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AttachmentListManyParts)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
