#include "host/net/Secrets.h"

#include <windows.h>
#include <ntsecapi.h>

#include <cstdio>
#include <cstdlib>

namespace tarnwick::host {

std::string NewSecret() {
    unsigned char bytes[16] = {};
    if (!RtlGenRandom(bytes, sizeof bytes)) {
        // Never hand out a guessable id: without randomness, fail loudly.
        fprintf(stderr, "tarnwick-host: no random numbers for a session id\n");
        abort();
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string id;
    for (unsigned char b : bytes) {
        id.push_back(digits[b >> 4]);
        id.push_back(digits[b & 15]);
    }
    return id;
}

bool SameSecret(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace tarnwick::host
