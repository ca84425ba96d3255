#include "platform/Clock.h"

#include <windows.h>

namespace tarnwick::platform {

UtcTime CurrentUtcTime() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::time_t CurrentTime() { return std::time(nullptr); }

namespace {

// 100-nanosecond ticks from 1601-01-01 to 1970-01-01.
constexpr long long kUnixEpochTicks = 116444736000000000LL;
constexpr long long kTicksPerSecond = 10000000LL;

long long TicksOf(const FILETIME& f) {
    return static_cast<long long>(static_cast<unsigned long long>(f.dwHighDateTime) << 32 | f.dwLowDateTime);
}

}  // namespace

bool ToLocalTime(std::time_t t, LocalTime& local) {
    const long long ticks = static_cast<long long>(t) * kTicksPerSecond + kUnixEpochTicks;
    if (ticks < 0) return false;
    FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32)};
    SYSTEMTIME utc, shown;
    FILETIME shownFile;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &shown) ||
        !SystemTimeToFileTime(&shown, &shownFile))
        return false;
    const long long offsetSeconds = (TicksOf(shownFile) - ticks) / kTicksPerSecond;
    local = {shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute, shown.wSecond,
             shown.wDayOfWeek, static_cast<int>(offsetSeconds / 60)};
    return true;
}

}  // namespace tarnwick::platform
