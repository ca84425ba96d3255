// Wall-clock time for names of files and the Date header.
#pragma once

#include <ctime>

namespace tarnwick::platform {

struct UtcTime {
    int year, month, day, hour, minute, second, millisecond;
};

UtcTime CurrentUtcTime();
std::time_t CurrentTime();

// File times: 100-nanosecond ticks since 1601-01-01 UTC, the unit of the
// file system's own stamps (LastWriteTime in platform/FileSystem.h).
using FileTime = long long;
constexpr FileTime kFileTicksPerSecond = 10000000LL;
FileTime CurrentFileTime();

// Whether a copy of something (a listing, a compiled file) taken at takenAt
// can stand for it while its last-write time stays writeTime. File systems
// stamp coarsely (FAT in 2-second steps), so a second change within that span
// can carry the same time: a copy taken within it is never reused.
constexpr FileTime kSettleTicks = 2 * kFileTicksPerSecond;
inline bool TakenAfterSettling(FileTime writeTime, FileTime takenAt) { return takenAt - writeTime > kSettleTicks; }

// A moment as the local clock shows it, with the local zone's offset from
// UTC at that moment (daylight saving included).
struct LocalTime {
    int year, month, day, hour, minute, second;
    int weekday;            // 0 is Sunday
    int utcOffsetMinutes;   // east of UTC is positive
};

// False when the system cannot convert t.
bool ToLocalTime(std::time_t t, LocalTime& local);

}  // namespace tarnwick::platform
