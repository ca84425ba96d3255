#include "platform/Process.h"

#include <windows.h>
// RtlGenRandom (advapi32's SystemFunction036): the system's random source,
// without the cryptography provider's set-up.
#define SystemFunction036 NTAPI SystemFunction036
#include <ntsecapi.h>
#undef SystemFunction036

namespace tarnwick::platform {

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool RandomBytes(void* out, std::size_t n) {
    return n <= 0xFFFFFFFFu && RtlGenRandom(out, static_cast<ULONG>(n)) != FALSE;
}

}  // namespace tarnwick::platform
