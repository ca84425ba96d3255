// libFuzzer target: a posted multipart/form-data body
// (fuzz/checks/FormDataCheck.h).
#include "fuzz/checks/FormDataCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::RunTarget(tarnwick::fuzz::CheckFormData, data, size);
}
