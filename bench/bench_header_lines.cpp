// GetTitleInfo on a message whose header is millions of short lines: anyone
// who can send a user mail can send one, so the summary line of a mailbox
// page must cost memory and time in proportion to the message's bytes, not
// a fixed amount per header line.
//
// Besides the time, each run reports the peak resident memory that one
// reading of the message added (file mapping and heap alike) as a multiple
// of the message's size: the kernel's high-water mark of the process is
// reset just before the reading (/proc/self/clear_refs, 5) and read after it
// (VmHWM), less the resident memory before it. Freed heap is handed back to
// the system first, so memory an earlier run left free cannot hide the cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "mailbox/MailboxIndex.h"
#include "mailbox/stored/Reading.h"
#include "mime/stored/Part.h"

namespace {

using namespace tarnwick;

// A message of a few ordinary header fields, lines short "To:" lines and a
// short body.
std::string ManyHeaderLines(long lines) {
    const std::string head = "From: Ann <ann@example.com>\r\nSubject: To everyone\r\n"
                             "Date: Mon, 7 Dec 2026 10:00:00 +0800\r\n";
    const std::string line = "To: a@b\r\n";
    const std::string tail = "Content-Type: text/plain\r\n\r\nHello, everyone.\r\n";
    std::string text;
    text.reserve(head.size() + line.size() * static_cast<std::size_t>(lines) + tail.size());
    text += head;
    for (long i = 0; i < lines; ++i) text += line;
    text += tail;
    return text;
}

// A line "Name:   N kB" of /proc/self/status, in bytes; -1 when missing.
long long StatusBytes(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(name);
    while (std::getline(status, line))
        if (line.compare(0, n, name) == 0 && line.size() > n && line[n] == ':')
            return std::stoll(line.substr(n + 1)) * 1024;
    return -1;
}

bool ResetPeakResident() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// What GetTitleInfo does for message 0 of the mailbox: list the directory to
// the entry, map the file, parse the part tree, read the four fields.
std::size_t TitleInfo(const mailbox::MailboxIndex& index, benchmark::State& state) {
    std::size_t count = 0;
    const auto read = [&](const mime::stored::Part& message) { count = mailbox::stored::SummaryValues(message).size(); };
    if (index.ReadMessage<mime::stored::Part>(0, read) != mailbox::ReadOutcome::Opened) {
        state.SkipWithError("message not opened");
        return 0;
    }
    return count;
}

void BM_ParseManyHeaderLines(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "tarnwick_bench_header_lines";
    const fs::path box = root / "ann" / "mailbox";
    fs::remove_all(root);
    fs::create_directories(box);
    std::size_t size = 0;
    {
        const std::string text = ManyHeaderLines(static_cast<long>(state.range(0)));
        std::ofstream out(box / "m0.in", std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) {
            state.SkipWithError("cannot write the message");
            return;
        }
        size = text.size();
    }
    const mailbox::MailboxIndex index(root.string() + "/", "ann");

    // One untimed reading for the memory figure.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    const long long before = StatusBytes("VmRSS");
    if (before < 0 || !ResetPeakResident()) {
        state.SkipWithError("no /proc/self/clear_refs or VmRSS: peak memory cannot be measured");
        return;
    }
    if (TitleInfo(index, state) != 4) {
        state.SkipWithError("the summary lacks a field");
        return;
    }
    const long long peak = StatusBytes("VmHWM") - before;
    // A label, not counters: the CSV output wants the same counters in every
    // benchmark.
    char label[96];
    std::snprintf(label, sizeof label, "peak memory %.2fx message (%.1f MB for %.1f MB)",
                  static_cast<double>(peak) / static_cast<double>(size), static_cast<double>(peak) / 1e6,
                  static_cast<double>(size) / 1e6);
    state.SetLabel(label);

    for (auto _ : state) benchmark::DoNotOptimize(TitleInfo(index, state));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
    fs::remove_all(root);
}
BENCHMARK(BM_ParseManyHeaderLines)->Arg(1000000)->Arg(2000000)->Unit(benchmark::kMillisecond);

}  // namespace
