// libFuzzer target: a stored message through the MIME engine and the mailbox
// reads (fuzz/checks/MimeMessageCheck.h). Run with -max_len=65536 and
// fuzz/mime.dict; seeds in fuzz/seeds/fuzz_mime_message.
#include "fuzz/checks/MimeMessageCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckMimeMessage, data, size);
}
