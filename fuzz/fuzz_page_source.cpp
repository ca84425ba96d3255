// libFuzzer target: the page compiler over a site in memory
// (fuzz/checks/PageSourceCheck.h). Run with -max_len=16384 and
// fuzz/page.dict; seeds in fuzz/seeds/fuzz_page_source.
#include "fuzz/checks/PageSourceCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckPageSource, data, size);
}
