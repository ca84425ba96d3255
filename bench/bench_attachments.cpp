// The attachment walk of a message with very many parts: anyone who can
// send mail to a user can send such a message, so listing its attachments and
// finding one by name must cost time in proportion to the message, not to the
// square of its part count.
#include <benchmark/benchmark.h>

#include <string>

#include "mailbox/MessageReader.h"
#include "mime/MimePart.h"

namespace {

using namespace tarnwick;

// A message of parts one-line attachment parts (about 140 bytes each).
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
