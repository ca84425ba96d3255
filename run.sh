#!/usr/bin/env bash
# Tarnwick's one entry point: ./run.sh build | test | demo | bench | fuzz
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

ensure_packages() {   # [PACKAGE...]: these (default: all of PACKAGES)
    local missing=() p wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${PACKAGES[@]}")
    for p in "${wanted[@]}"; do
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

    log "page host layers (host/net/ includes nothing above it)"
    out=$(tests/host/layers.sh 2>&1) || true
    printf '%s\n' "$out" | grep -vE '^ok ' >&2 || true
    count_suite "the page host layers" "$out"

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

# The libFuzzer targets: each fuzz/fuzz_*.cpp, with its input size limit and
# dictionary (fuzz/*.dict, "-" for none). Seeds: fuzz/seeds/<target>/.
fuzz_options() {   # target -> "max_len dict"
    case "$1" in
        fuzz_mime_message) echo "65536 mime.dict" ;;
        fuzz_mail_reader) echo "65536 mail.dict" ;;
        fuzz_form_data) echo "65536 mime.dict" ;;
        fuzz_codecs) echo "4096 mime.dict" ;;
        fuzz_hz_decoder) echo "16384 -" ;;
        fuzz_page_source) echo "16384 page.dict" ;;
        fuzz_http_text) echo "20000 http.dict" ;;
        fuzz_send_mail|fuzz_mail_writer) echo "8192 -" ;;
        *) echo "4096 -" ;;
    esac
}

# The inputs of this run that crashed, leaked, ran out of memory or time
# (slow-unit-* files are only reports).
artifacts() {   # scratch
    find "$1/artifacts" -type f -newer "$1/log.start" \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' \
        -o -name 'timeout-*' \) 2>/dev/null
}

# Runs one target for the given seconds from its seeds into its scratch
# folder build/fuzz/runs/<target>/ (corpus/ grows from run to run; the seeds
# are never written), and prints its line: runs, runs per second, coverage,
# crashes. Returns non-zero on a crash.
fuzz_one() {   # target seconds
    local name=$1 seconds=$2 options max_len dict scratch log status=0
    options=$(fuzz_options "$name")
    max_len=${options% *}
    dict=${options#* }
    scratch="$ROOT/build/fuzz/runs/$name"
    log="$scratch/log"
    mkdir -p "$scratch/corpus" "$scratch/artifacts" "$scratch/tmp"
    local args=(-max_len="$max_len" -max_total_time="$seconds" -timeout=120 -print_final_stats=1
                -artifact_prefix="$scratch/artifacts/")
    [ "$dict" != "-" ] && args+=(-dict="$ROOT/fuzz/$dict")
    # The composer target makes its mail store under TMPDIR: keep it in the scratch folder.
    TMPDIR="$scratch/tmp" nice -n 19 "$ROOT/build/fuzz/fuzz/$name" "${args[@]}" \
        "$scratch/corpus" "$ROOT/fuzz/seeds/$name" >"$log" 2>&1 || status=$?
    local runs rate added first last crashes
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
    rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$log" | tail -1)
    added=$(sed -nE 's/^stat::new_units_added: *([0-9]+).*/\1/p' "$log" | tail -1)
    first=$(sed -nE 's/.*INITED cov: ([0-9]+).*/\1/p' "$log" | head -1)
    last=$(sed -nE 's/.* cov: ([0-9]+) .*/\1/p' "$log" | tail -1)
    crashes=$(artifacts "$scratch" | wc -l)
    if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
    printf '%s: %s runs, %s runs/s, coverage %s -> %s (%s new inputs), %s crashes\n' "$name" \
        "${runs:-0}" "${rate:-0}" "${first:-?}" "${last:-?}" "${added:-0}" "$crashes"
    if [ "$crashes" -ne 0 ]; then
        grep -E 'ERROR|invariant broken|SUMMARY' "$log" | head -5 >&2 || true
        artifacts "$scratch" | sed 's/^/  input: /' >&2
        echo "  log: $log; keep the input under tests/data/fuzz-regressions/$name/" >&2
        return 1
    fi
}

# ./run.sh fuzz [SECONDS] [TARGET...]: builds the targets with clang in
# build/fuzz and runs each for SECONDS (default 60), one after another
# (TARNWICK_FUZZ_JOBS=N runs N at a time). Non-zero when any crashed.
run_fuzz() {
    local seconds=60
    if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
    local targets=("$@") source
    if [ ${#targets[@]} -eq 0 ]; then
        for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
    fi
    ensure_packages cmake ninja-build clang libclang-rt-14-dev
    if [ -f build/fuzz/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' build/fuzz/CMakeCache.txt; then
        rm -rf build/fuzz   # configured with another compiler
    fi
    # Optimised (the engine has no assert to lose), with the sanitizers.
    CXX=clang++ cmake -S "$ROOT" -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON \
        -DTARNWICK_BENCH=OFF >/dev/null
    log "building ${targets[*]} (clang, libFuzzer, ASan, UBSan)"
    ninja -C build/fuzz "${targets[@]}" >/dev/null
    log "fuzzing each target for ${seconds}s from fuzz/seeds/<target> (scratch: build/fuzz/runs/)"
    local jobs=${TARNWICK_FUZZ_JOBS:-1} failed=0 name pids=() pid
    for name in "${targets[@]}"; do
        mkdir -p "build/fuzz/runs/$name" && touch "build/fuzz/runs/$name/log.start"
        fuzz_one "$name" "$seconds" &
        pids+=($!)
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
    [ "$failed" -eq 0 ] || { echo "$failed target(s) crashed" >&2; return 1; }
}

case "${1:-}" in
    build) build_all ;;
    test) run_tests ;;
    demo) build_all; shift; exec demo/webmail.sh "$@" ;;
    bench) shift; run_bench "$@" ;;
    fuzz) shift; run_fuzz "$@" ;;
    *) echo "usage: $0 build|test|demo|bench|fuzz [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac
