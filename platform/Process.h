// What makes a name unique across processes and machines: this process's
// number and random bytes from the system.
#pragma once

#include <cstddef>

namespace tarnwick::platform {

unsigned long CurrentProcessId();

// Fills out with n bytes from the system's random source; false when it
// gives none.
bool RandomBytes(void* out, std::size_t n);

}  // namespace tarnwick::platform
