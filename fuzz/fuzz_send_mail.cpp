// libFuzzer target: a composed form through the posting engine into a mail
// store under $TMPDIR (fuzz/checks/SendMailCheck.h). Run with
// -max_len=8192; seeds in fuzz/seeds/fuzz_send_mail.
#include "fuzz/checks/SendMailCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckSendMail, data, size);
}
