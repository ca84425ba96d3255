#!/usr/bin/env bash
# Tarnwick's one entry point: ./run.sh build | test | demo | bench
# Each subcommand installs what a fresh Debian 12 machine lacks (as root),
# configures and builds. Outputs: build/native (engine + unit tests, built
# with sanitizers), build/win64/Tarnwick.dll, build/win32/Tarnwick.dll.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ROOT"

PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev
          curl chromium fonts-wqy-zenhei nodejs locales)

log() { printf '== %s\n' "$*" >&2; }

ensure_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "run as root to install: ${missing[*]}" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Wine maps Windows file names to Unix ones through the locale it runs in:
# without zh_CN.UTF-8 on the system, Chinese file names (uploads, attachments)
# would not survive the trip.
ensure_locale() {
    locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && return 0
    log "generating the zh_CN.UTF-8 locale"
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}

# The browser tests' one npm package (playwright-core drives Debian's
# Chromium; it never downloads a browser).
ensure_node_modules() {
    if ! command -v npm >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm >/dev/null
    fi
    if [ ! -d tests/browser/node_modules/playwright-core ]; then
        log "installing the browser tests' npm package"
        (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    fi
}

# Adds a suite's "N passed, M failed" line (the last one in its output) to
# the totals; a suite that printed none counts as one failure.
count_suite() {   # name, output
    local line
    line=$(printf '%s\n' "$2" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
    if [ -z "$line" ]; then
        echo "$1 did not report" >&2
        failed=$((failed + 1))
    else
        passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
        failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
    fi
}

configure_and_build() {   # dir, extra cmake args...
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    ninja -C "$dir" >/dev/null
}

build_all() {
    ensure_packages
    ensure_locale
    log "native build (sanitized engine and unit tests)"
    configure_and_build build/native -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF
    log "windows x64 build"
    configure_and_build build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake"
    log "windows x86 build (built and linked only: 32-bit code cannot run here)"
    configure_and_build build/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
}

run_tests() {
    build_all
    local passed=0 failed=0 out
    log "native unit tests"
    out=$(cd build/native && ctest -j2 --output-on-failure 2>&1) || true
    printf '%s\n' "$out" | grep -E 'Failed|\*\*\*|tests passed' >&2 || true
    local total fails
    total=$(printf '%s\n' "$out" | sed -nE 's/.* tests failed out of ([0-9]+).*/\1/p' | tail -1)
    fails=$(printf '%s\n' "$out" | sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p' | tail -1)
    if [ -z "$total" ]; then
        echo "native tests did not run" >&2
        failed=$((failed + 1))
    else
        passed=$((passed + total - fails))
        failed=$((failed + fails))
    fi

    log "Wine suites"
    out=$(tests/com/run.sh --dll build/win64/Tarnwick.dll --host build/win64/tests/pagehost/TarnwickTestHost.dll \
          --winunit build/win64/tests/winunit/tarnwick_win_tests.exe 2>&1) || true
    printf '%s\n' "$out" | grep -vE '^ok ' >&2 || true
    count_suite "the Wine suites" "$out"

    log "page host over HTTP"
    out=$(tests/host/run.sh --exe build/win64/host/tarnwick-host.exe --dll build/win64/Tarnwick.dll 2>&1) || true
    printf '%s\n' "$out" | grep -vE '^ok ' >&2 || true
    count_suite "the page host suite" "$out"

    log "the demo, walked once (./run.sh demo --check)"
    if TARNWICK_DEMO_PREFIX="$ROOT/build/check-prefix" demo/webmail.sh --check >&2; then
        passed=$((passed + 1))
    else
        echo "not ok the demo walk" >&2
        failed=$((failed + 1))
    fi

    log "browser tests (headless Chromium)"
    ensure_node_modules
    out=$(tests/browser/run.sh 2>&1) || true
    printf '%s\n' "$out" | grep -vE '^ok ' >&2 || true
    count_suite "the browser tests" "$out"

    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

run_bench() {
    ensure_packages
    configure_and_build build/bench -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON
    build/bench/bench/tarnwick_bench "$@"
}

case "${1:-}" in
    build) build_all ;;
    test) run_tests ;;
    demo) build_all; shift; exec demo/webmail.sh "$@" ;;
    bench) shift; run_bench "$@" ;;
    *) echo "usage: $0 build|test|demo|bench" >&2; exit 2 ;;
esac
