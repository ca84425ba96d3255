#include "platform/Process.h"

#include <sys/random.h>
#include <unistd.h>

namespace tarnwick::platform {

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

bool RandomBytes(void* out, std::size_t n) {
    auto* p = static_cast<unsigned char*>(out);
    while (n > 0) {
        const ssize_t got = getrandom(p, n, 0);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace tarnwick::platform
