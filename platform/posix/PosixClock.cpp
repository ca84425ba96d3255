#include "platform/Clock.h"

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

}  // namespace tarnwick::platform
