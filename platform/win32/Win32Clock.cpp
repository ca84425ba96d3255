#include "platform/Clock.h"

#include <windows.h>

#include "platform/win32/Win32FileTime.h"

namespace tarnwick::platform {

UtcTime CurrentUtcTime() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::time_t CurrentTime() { return std::time(nullptr); }

FileTime CurrentFileTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return TicksOf(now);
}

namespace {

// 100-nanosecond ticks from 1601-01-01 to 1970-01-01.
constexpr long long kUnixEpochTicks = 116444736000000000LL;

}  // namespace

bool ToLocalTime(std::time_t t, LocalTime& local) {
    const long long ticks = static_cast<long long>(t) * kFileTicksPerSecond + kUnixEpochTicks;
    if (ticks < 0) return false;
    FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32)};
    SYSTEMTIME utc, shown;
    FILETIME shownFile;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &shown) ||
        !SystemTimeToFileTime(&shown, &shownFile))
        return false;
    const long long offsetSeconds = (TicksOf(shownFile) - ticks) / kFileTicksPerSecond;
    local = {shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute, shown.wSecond,
             shown.wDayOfWeek, static_cast<int>(offsetSeconds / 60)};
    return true;
}

}  // namespace tarnwick::platform
