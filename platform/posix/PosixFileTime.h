// posix times as file-time ticks (platform/Clock.h), for the clock and the
// file system alike.
#pragma once

#include <time.h>

#include "platform/Clock.h"

namespace tarnwick::platform {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr FileTime kUnixEpochSeconds = 11644473600LL;

inline FileTime FileTimeOf(const timespec& t) {
    return (static_cast<FileTime>(t.tv_sec) + kUnixEpochSeconds) * kFileTicksPerSecond + t.tv_nsec / 100;
}

}  // namespace tarnwick::platform
