#!/usr/bin/env bash
# Figures of the page host's page threads, over loopback with the demo site
# set up as `./run.sh demo` sets it up (demo/webmail-env.sh), in a prefix of
# its own (build/bench-prefix):
#   1. 40 inbox requests of 40 signed-in visitors (a session each, each
#      from a loopback address of its own), one after another, then 20 at a
#      time, each column made by one curl; the ratio of the two times, and
#      how busy the processors were.
#      The same for a static file (no page runs): what the transport alone
#      allows.
#   2. the About page of one visitor on an idle server, then while another
#      visitor posts a 30 MB upload (compose, send); the ratio.
# Needs the Windows build (./run.sh build). Prints a table.
#
#   bench/pool-figures.sh [--port N] [--threads N] [--warm-parallel]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=$((20000 + $$ % 20000))
threads=()
warm_parallel=0
while [ $# -gt 0 ]; do
    case "$1" in
    --port) port=$2; shift 2 ;;
    --threads) threads=(--threads "$2"); shift 2 ;;
    --warm-parallel) warm_parallel=1; shift ;;
    *) echo "usage: $0 [--port N] [--threads N] [--warm-parallel]" >&2; exit 2 ;;
    esac
done
export WINEPREFIX="$ROOT/build/bench-prefix"
source "$ROOT/demo/webmail-env.sh"
work=$(mktemp -d)
trap 'webmail_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

webmail_prefix
webmail_store
webmail_delivery
log="$ROOT/build/bench-host.log"
# As webmail_host starts it, with the page-thread option when given.
zh wine 'C:\tarnwick\tarnwick-host.exe' --site "$ROOT/webmail" --port "$port" "${threads[@]}" >"$log" 2>&1 &
WEBMAIL_PIDS+=($!)
base="http://127.0.0.1:$port"
for _ in $(seq 300); do
    curl -s -o /dev/null "$base/style.css" && break
    sleep 0.2
done

token_of() { sed -n 's/.*name="token" value="\([^"]*\)".*/\1/p' "$1" | head -1; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# A signed-in visitor: a cookie jar of its own (a session of its own).
sign_in() {   # jar
    curl -s -b "$1" -c "$1" "$base/" >"$1.html"
    curl -s -b "$1" -c "$1" -L -d "token=$(token_of "$1.html")&user=alice&password=wonderland" \
        "$base/default.asp" >"$1.inbox"
    grep -q 'id="inbox"' "$1.inbox" || { echo "signing in failed" >&2; exit 1; }
}

visitors=40
for i in $(seq $visitors); do sign_in "$work/jar$i"; done
# Visitor i comes from the loopback address 127.0.0.(i+1): the host holds
# one client address to 16 connections at once. One curl makes the requests
# of a column, one after another or 20 at a time, so that the client's own
# start-up (a process per request costs this machine more than the page)
# stays out of both figures.
requests() {   # site path, [curl's options for the whole run...]
    local path=$1 args=() i
    shift
    for i in $(seq $visitors); do
        [ "$i" -gt 1 ] && args+=(--next)
        args+=(-s -o /dev/null -w '%{http_code}\n' --interface "127.0.0.$((i + 1))" -b "$work/jar$i" "$base$path")
    done
    curl --no-progress-meter "$@" "${args[@]}" >"$work/codes"
    [ "$(grep -c '^200$' "$work/codes")" -eq "$visitors" ] || { echo "a request for $path failed" >&2; exit 1; }
}
inboxes() { requests /inbox.asp "$@"; }
# Warm: every page compiled once; with --warm-parallel also 20 at a time, so
# that the relay's connection threads are in place (they wait 30 s for work).
inboxes
[ "$warm_parallel" = 1 ] && inboxes --parallel --parallel-immediate --parallel-max 20

busy_jiffies() { awk '/^cpu /{print $2 + $3 + $4 + $7 + $8}' /proc/stat; }
start=$(now_ms)
cpu=$(busy_jiffies)
inboxes
one_by_one=$(($(now_ms) - start))
cpu_one=$(($(busy_jiffies) - cpu))
start=$(now_ms)
cpu=$(busy_jiffies)
inboxes --parallel --parallel-immediate --parallel-max 20
parallel=$(($(now_ms) - start))
cpu_parallel=$(($(busy_jiffies) - cpu))
# The same for the style sheet, which no page or component touches: what
# the HTTP Server API and the relay alone allow.
requests /style.css
start=$(now_ms)
requests /style.css
static_one=$(($(now_ms) - start))
start=$(now_ms)
requests /style.css --parallel --parallel-immediate --parallel-max 20
static_parallel=$(($(now_ms) - start))

# About: the median of 9 requests of visitor 1, idle and beside the upload.
about_ms() {
    curl -s -f -b "$work/jar1" -o "$work/about.html" -w '%{time_total}\n' "$base/about.asp" |
        awk '{printf "%d\n", $1 * 1000}'
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
for _ in 1 2 3; do about_ms >/dev/null; done
idle=$(for _ in $(seq 9); do about_ms; done | median)

head -c $((30 * 1024 * 1024)) /dev/urandom >"$work/upload.bin"
curl -s -b "$work/jar2" "$base/compose.asp" >"$work/compose.html"
token=$(token_of "$work/compose.html")
start=$(now_ms)
curl -s -b "$work/jar2" -F "token=$token" -F From=alice@localhost -F To=bob@localhost \
    -F "Subject=upload" -F "Body=30 MB" -F "file1=@$work/upload.bin" \
    -o "$work/sent.html" "$base/send.asp" &
upload_pid=$!
samples=()
sleep 0.2
while kill -0 "$upload_pid" 2>/dev/null; do
    samples+=("$(about_ms)")
    sleep 0.1
done
wait "$upload_pid"
upload=$(($(now_ms) - start))
grep -q 'Message sent.' "$work/sent.html" || echo "note: the upload was not sent" >&2
busy=$(printf '%s\n' "${samples[@]}" | median)
worst=$(printf '%s\n' "${samples[@]}" | sort -n | tail -1)

# Processors busy (of the machine's), from /proc/stat, in each way.
busy() { awk -v j="$1" -v ms="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.2f", j / hz * 1000 / ms}'; }
echo "processors busy: $(busy "$cpu_one" "$one_by_one") one after another, $(busy "$cpu_parallel" "$parallel") 20 at a time (of $(nproc))"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "| figure | measured | baseline (same run) | ratio | goal |"
echo "|---|---|---|---|---|"
echo "| 40 inbox requests (40 sessions), 20 at a time | $parallel ms | $one_by_one ms one after another | $(ratio "$parallel" "$one_by_one") | <= 0.6 |"
echo "| 40 style sheet requests (40 sessions), 20 at a time | $static_parallel ms | $static_one ms one after another | $(ratio "$static_parallel" "$static_one") | (the transport alone) |"
echo "| About beside a 30 MB upload (median of ${#samples[@]}; worst $worst ms; upload $upload ms) | $busy ms | $idle ms idle (median of 9) | $(ratio "$busy" "$idle") | <= 3 |"
