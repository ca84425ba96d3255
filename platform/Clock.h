// Wall-clock time for names of files and the Date header.
#pragma once

#include <ctime>

namespace tarnwick::platform {

struct UtcTime {
    int year, month, day, hour, minute, second, millisecond;
};

UtcTime CurrentUtcTime();
std::time_t CurrentTime();

}  // namespace tarnwick::platform
