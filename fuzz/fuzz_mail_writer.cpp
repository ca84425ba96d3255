// libFuzzer target: a composed form through MailWriter's UTF-8 message into
// a mail store under $TMPDIR, read back as MailReader reads it
// (fuzz/checks/MailWriterCheck.h). Run with -max_len=8192; seeds in
// fuzz/seeds/fuzz_mail_writer.
#include "fuzz/checks/MailWriterCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckMailWriter, data, size);
}
