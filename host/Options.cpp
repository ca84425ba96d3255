#include "host/Options.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "host/page/Automation.h"

namespace tarnwick::host {

namespace {

bool ParseSize(const wchar_t* text, size_t& out) {
    wchar_t* end = nullptr;
    unsigned long long n = wcstoull(text, &end, 10);
    if (end == text) return false;
    if (*end == L'K' || *end == L'k') n <<= 10, ++end;
    else if (*end == L'M' || *end == L'm') n <<= 20, ++end;
    if (*end != 0 || n == 0 || n > (1ULL << 31)) return false;
    out = static_cast<size_t>(n);
    return true;
}

}  // namespace

void Usage() {
    fprintf(stderr,
            "usage: tarnwick-host --site DIR [--port N] [--bind ADDRESS] [--max-body BYTES] [--max-form BYTES]\n"
            "                     [--threads N] [--debug] [--direct]\n"
            "  --site DIR        the folder served as the site root (required)\n"
            "  --port N          TCP port, default 8080\n"
            "  --bind ADDRESS    address to listen on, default 127.0.0.1 (loopback only);\n"
            "                    0.0.0.0 listens on every address\n"
            "  --max-body BYTES  largest request body accepted, default 67108864 (64 MiB);\n"
            "                    a K or M suffix multiplies by 1024 or 1048576\n"
            "  --max-form BYTES  largest url-encoded form body a page accepts (413 above),\n"
            "                    default 1048576 (1 MiB); K and M as for --max-body\n"
            "  --threads N       page threads (pages run side by side; one session's requests\n"
            "                    one at a time), default two per processor and at least 4\n"
            "  --debug           error pages show the failing file, line and message\n"
            "  --direct          under Wine too, let the HTTP Server API take connections\n"
            "                    itself (no relay: bodies over about 128 KiB are lost)\n");
}

bool ParseArguments(int argc, wchar_t** argv, HostOptions& options) {
    std::wstring site;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--site" && hasValue) {
            site = argv[++i];
        } else if (arg == L"--port" && hasValue) {
            wchar_t* end = nullptr;
            unsigned long port = wcstoul(argv[++i], &end, 10);
            if (*end != 0 || port == 0 || port > 65535) return false;
            options.port = static_cast<unsigned short>(port);
        } else if (arg == L"--bind" && hasValue) {
            options.bind = Narrow(argv[++i], CP_UTF8);
        } else if (arg == L"--max-body" && hasValue) {
            if (!ParseSize(argv[++i], options.maxBody)) return false;
        } else if (arg == L"--max-form" && hasValue) {
            if (!ParseSize(argv[++i], options.maxForm)) return false;
        } else if (arg == L"--threads" && hasValue) {
            wchar_t* end = nullptr;
            unsigned long threads = wcstoul(argv[++i], &end, 10);
            if (*end != 0 || threads == 0 || threads > 256) return false;
            options.threads = static_cast<unsigned>(threads);
        } else if (arg == L"--debug") {
            options.debug = true;
        } else if (arg == L"--direct") {
            options.direct = true;
        } else {
            return false;
        }
    }
    if (site.empty()) return false;
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(site.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    options.site = full;
    while (options.site.size() > 3 && (options.site.back() == L'\\' || options.site.back() == L'/'))
        options.site.pop_back();
    return true;
}

}  // namespace tarnwick::host
