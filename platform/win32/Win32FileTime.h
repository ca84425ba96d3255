// A Windows FILETIME as one number of ticks (platform/Clock.h), for the
// clock and the file system alike.
#pragma once

#include <windows.h>

#include "platform/Clock.h"

namespace tarnwick::platform {

inline FileTime TicksOf(const FILETIME& f) {
    return static_cast<FileTime>(static_cast<unsigned long long>(f.dwHighDateTime) << 32 | f.dwLowDateTime);
}

}  // namespace tarnwick::platform
