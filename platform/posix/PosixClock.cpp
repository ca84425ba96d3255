#include "platform/Clock.h"

#include "platform/posix/PosixFileTime.h"

#include <sys/time.h>

namespace tarnwick::platform {

UtcTime CurrentUtcTime() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    std::tm t;
    gmtime_r(&tv.tv_sec, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
            t.tm_min,         t.tm_sec,     static_cast<int>(tv.tv_usec / 1000)};
}

std::time_t CurrentTime() { return std::time(nullptr); }

FileTime CurrentFileTime() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeOf(now);
}

bool ToLocalTime(std::time_t t, LocalTime& local) {
    std::tm tm;
    if (localtime_r(&t, &tm) == nullptr) return false;
    local = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
             tm.tm_wday,        static_cast<int>(tm.tm_gmtoff / 60)};
    return true;
}

}  // namespace tarnwick::platform
