// libFuzzer target: the page host's HTTP text work, request framing first
// (fuzz/checks/HttpTextCheck.h). Run with -max_len=20000 and fuzz/http.dict;
// seeds in fuzz/seeds/fuzz_http_text.
#include "fuzz/checks/HttpTextCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckHttpText, data, size);
}
