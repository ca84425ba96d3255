#include "platform/Clock.h"

#include <windows.h>

namespace tarnwick::platform {

UtcTime CurrentUtcTime() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::time_t CurrentTime() { return std::time(nullptr); }

}  // namespace tarnwick::platform
