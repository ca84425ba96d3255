#!/usr/bin/env bash
# Runs the VBScript/JScript suites of tests/com under Wine.
#
#   tests/com/run.sh --dll <Tarnwick.dll> --host <TarnwickTestHost.dll>
#                    [--winunit <tarnwick_win_tests.exe>] [script...]
#
# Makes a fresh Wine prefix, registers both DLLs, and runs every tests/com/*.vbs
# and *.js (or the scripts named) with cscript. With --winunit it first runs
# the Windows-side GoogleTest program against the registered DLL. Each script gets
# tests/com/lib/testlib.vbs or testlib.js put in front of it, because Wine's
# VBScript cannot include files itself (no Execute/ExecuteGlobal).
#
# Protocol: a script prints "ok <name>" or "not ok <name> # <detail>" per check
# and "done" as its last line. Wine ends a script silently (exit code 0) on a
# compile or runtime error, so a script without "done" counts as one failure.
# After sendmail.vbs, check-delivered.py reads the copies it kept with
# Python's email package; its checks count alike (its last line is
# "N passed, M failed").
#
# Environment:
#   TARNWICK_KEEP_PREFIX=1  keep the prefix (its path is printed) for debugging
#   TARNWICK_VERBOSE=1      also print the "ok" lines
#   TARNWICK_TIMEOUT=<s>    per-script time limit (default 120)
#
# Scripts see (read with host.GetEnv, which testlib does for them):
#   TARNWICK_DIR         Windows folder holding both DLLs, ending in "\"
#   TARNWICK_DLL         Windows path of the registered Tarnwick.dll, or "" if absent
#   TARNWICK_SOURCE_DIR  tests/com as a Windows (Z:) path, ending in "\"
#   TARNWICK_DELIVERED_DIR  an empty folder, ending in "\", where sendmail.vbs
#                        keeps delivered copies for check-delivered.py
set -u

usage() {
    echo "usage: $0 --dll <Tarnwick.dll> --host <TarnwickTestHost.dll> [script...]" >&2
    exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dll=""
hostdll=""
winunit=""
scripts=()
while [ $# -gt 0 ]; do
    case "$1" in
    --dll) [ $# -ge 2 ] || usage; dll=$2; shift 2 ;;
    --host) [ $# -ge 2 ] || usage; hostdll=$2; shift 2 ;;
    --winunit) [ $# -ge 2 ] || usage; winunit=$2; shift 2 ;;
    -h | --help) usage ;;
    -*) echo "unknown option: $1" >&2; usage ;;
    *) scripts+=("$1"); shift ;;
    esac
done
[ -n "$hostdll" ] || usage
if [ ! -f "$hostdll" ]; then
    echo "test host not found: $hostdll" >&2
    exit 2
fi
if [ ${#scripts[@]} -eq 0 ]; then
    for f in "$here"/*.vbs "$here"/*.js; do
        [ -f "$f" ] && scripts+=("$f")
    done
fi
for f in "${scripts[@]}"; do
    if [ ! -f "$f" ]; then
        echo "no such script: $f" >&2
        exit 2
    fi
done

timeout_s=${TARNWICK_TIMEOUT:-120}
prefix=$(mktemp -d -t tarnwick-wine.XXXXXX)
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The locale is only given to Wine's processes (the shell itself may lack it):
# it makes Windows' ANSI code page 936 (GBK), as on the target systems.
wine_env=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

cleanup() {
    "${wine_env[@]}" wineserver -k >/dev/null 2>&1
    if [ "${TARNWICK_KEEP_PREFIX:-0}" = 1 ]; then
        echo "kept prefix $prefix; to rerun a script there:"
        echo "  . $prefix/env.sh && wine cscript //nologo 'C:\\tarnwick\\run\\<script>'"
    else
        rm -rf "$prefix"
    fi
}
trap cleanup EXIT

echo "prefix: $prefix"
if ! timeout 300 "${wine_env[@]}" wineboot -i >"$prefix/wineboot.log" 2>&1; then
    echo "wineboot failed (see $prefix/wineboot.log)" >&2
    TARNWICK_KEEP_PREFIX=1
    exit 1
fi

dir="$prefix/drive_c/tarnwick"
mkdir -p "$dir/run" "$dir/delivered"
windir='C:\tarnwick\'

passed=0
failed=0
failures=()

fail() {  # <label> <detail>
    failed=$((failed + 1))
    failures+=("$1: $2")
    echo "not ok $1: $2"
}

register() {  # <file name in C:\tarnwick>
    timeout 120 "${wine_env[@]}" wine regsvr32 /s "${windir}$1" >/dev/null 2>&1
}

cp "$hostdll" "$dir/TarnwickTestHost.dll"
if ! register TarnwickTestHost.dll; then
    echo "regsvr32 TarnwickTestHost.dll failed" >&2
    exit 1
fi

tarnwick_win=""
if [ -n "$dll" ] && [ -f "$dll" ]; then
    cp "$dll" "$dir/Tarnwick.dll"
    if register Tarnwick.dll; then
        tarnwick_win="${windir}Tarnwick.dll"
    else
        fail "regsvr32" "registering Tarnwick.dll failed"
    fi
else
    echo "Tarnwick.dll not found (${dll:-not given}): only scripts that do not need it can pass"
fi

export TARNWICK_DIR="$windir"
export TARNWICK_DLL="$tarnwick_win"
export TARNWICK_SOURCE_DIR="Z:$(echo "$here" | tr / '\\')\\"
export TARNWICK_DELIVERED_DIR="${windir}delivered\\"
{
    for v in WINEPREFIX WINEDEBUG WINEDLLOVERRIDES TARNWICK_DIR TARNWICK_DLL TARNWICK_SOURCE_DIR TARNWICK_DELIVERED_DIR; do
        printf 'export %s=%q\n' "$v" "${!v}"
    done
    echo '{ export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null'
} >"$prefix/env.sh"

if [ -n "$winunit" ]; then
    if [ ! -f "$winunit" ] || [ -z "$tarnwick_win" ]; then
        fail "winunit" "cannot run ${winunit} (missing program or unregistered Tarnwick.dll)"
    else
        cp "$winunit" "$dir/tarnwick_win_tests.exe"
        out=$(cd "$dir" && TARNWICK_DLL="$tarnwick_win" timeout -k 10 "$timeout_s" "${wine_env[@]}" \
              wine "${windir}tarnwick_win_tests.exe" --gtest_brief=1 2>&1)
        wp=$(printf '%s\n' "$out" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' | tail -1)
        # Each failed test by name: in brief mode GoogleTest may print no
        # "N tests, listed below" summary.
        wf=$(printf '%s\n' "$out" | sed -nE 's/^\[  FAILED  \] ([A-Za-z0-9_/]+\.[A-Za-z0-9_/]+).*/\1/p' | sort -u | wc -l)
        printf '%s\n' "$out" | grep -E 'Failure|FAILED|Expected|Which is|actual' | head -40
        if [ -z "$wp" ]; then
            fail "winunit" "the Windows-side tests did not report (crashed?)"
        else
            passed=$((passed + wp))
            failed=$((failed + ${wf:-0}))
            [ "${wf:-0}" -gt 0 ] && failures+=("winunit: ${wf} failed")
            echo "winunit: $wp passed, ${wf:-0} failed"
        fi
    fi
fi

# Counts the "ok" and "not ok" lines of one program's output into the totals.
# A program that does not print its closing line (the pattern) stopped early
# and counts as one failure more.
tally() {  # <name> <exit code> <closing line pattern> <output>
    local name=$1 rc=$2 closing=$3 out=$4 sp=0 sf=0 finished=0 last="" line why
    while IFS= read -r line; do
        line=${line%$'\r'}
        case "$line" in
        "ok "*)
            sp=$((sp + 1))
            [ "${TARNWICK_VERBOSE:-0}" = 1 ] && echo "$name: $line"
            ;;
        "not ok "*)
            sf=$((sf + 1))
            failures+=("$name: ${line#not ok }")
            echo "$name: $line"
            ;;
        "") ;;
        *)
            if [[ $line =~ $closing ]]; then
                finished=1
            else
                echo "$name: $line"
            fi
            ;;
        esac
        [ -n "$line" ] && last=$line
    done <<<"$out"
    if [ $finished = 0 ]; then
        sf=$((sf + 1))
        if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
            why="timed out after ${timeout_s}s"
        else
            why="did not finish (exit code $rc; last line: ${last:-none})"
        fi
        failures+=("$name: $why")
        echo "$name: not ok $why"
    fi
    passed=$((passed + sp))
    failed=$((failed + sf))
    echo "$name: $sp passed, $sf failed"
}

ran_sendmail=0
for script in "${scripts[@]}"; do
    name=$(basename "$script")
    case "$name" in
    *.vbs) lib="$here/lib/testlib.vbs" ;;
    *.js) lib="$here/lib/testlib.js" ;;
    *) echo "skipping $name (neither .vbs nor .js)"; continue ;;
    esac
    [ "$name" = sendmail.vbs ] && ran_sendmail=1
    # The library ends with a line break, so the script starts on a line of its own.
    cat "$lib" "$script" >"$dir/run/$name"
    out=$(timeout -k 10 "$timeout_s" "${wine_env[@]}" wine cscript //nologo "${windir}run\\$name" 2>"$dir/run/$name.stderr")
    tally "$name" $? '^done$' "$out"
done

# Python's email package reads the copies sendmail.vbs kept.
if [ $ran_sendmail = 1 ]; then
    if command -v python3 >/dev/null; then
        out=$(timeout -k 10 "$timeout_s" python3 "$here/check-delivered.py" "$dir/delivered" 2>&1)
        tally check-delivered.py $? '^[0-9]+ passed, [0-9]+ failed$' "$out"
    else
        fail "check-delivered.py" "python3 not found"
    fi
fi

if [ $failed -gt 0 ]; then
    echo
    echo "failures:"
    for f in "${failures[@]}"; do echo "  $f"; done
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
