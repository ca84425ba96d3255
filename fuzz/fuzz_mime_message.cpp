// libFuzzer target: a stored message through the MIME engine and the mailbox
// reads of Tarnwick.Mail (fuzz/checks/MimeMessageCheck.h). Run with
// -max_len=65536 and fuzz/mime.dict; seeds in fuzz/seeds/fuzz_mime_message.
#include "fuzz/checks/MimeMessageCheck.h"

// AddressSanitizer's defaults for this target, for speed: a message read
// makes many small allocations, and by default each one records a 30-frame
// stack, is filled with 0xbe and, once freed, waits in a 256 MB quarantine;
// these settings take about a fifth of the time off each run. A read or write
// outside a block, or into one freed within the last 16 MB of frees, is still
// caught, and a report shows 8 frames of where the block was allocated
// (ASAN_OPTIONS overrides it, e.g. malloc_context_size=30 to reproduce).
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=8:max_malloc_fill_size=0:quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckMimeMessage, data, size);
}
