#!/usr/bin/env bash
# Figures of the site over a big mailbox, over loopback with the demo site set
# up as `./run.sh demo` sets it up (demo/webmail-env.sh), in a prefix of its
# own (build/bench-prefix): alice's mailbox filled with 100 messages, then
# with 10,000; for each, the median time of the inbox's last page and of a
# message view near the end of the mailbox (the newest messages), after one
# warming request. The mailbox's directory is dated a minute back, as an
# inbox is between deliveries. Needs the Windows build (./run.sh build).
# Prints a table.
#
#   bench/mailbox-figures.sh [--port N]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=$((20000 + ($$ + 4099) % 20000))
while [ $# -gt 0 ]; do
    case "$1" in
    --port) port=$2; shift 2 ;;
    *) echo "usage: $0 [--port N]" >&2; exit 2 ;;
    esac
done
export WINEPREFIX="$ROOT/build/bench-prefix"
source "$ROOT/demo/webmail-env.sh"
work=$(mktemp -d)
trap 'webmail_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

webmail_prefix
webmail_store
webmail_host "$port" "$ROOT/build/bench-host.log"
base="http://127.0.0.1:$port"
box="$WINEPREFIX/drive_c/mail/alice/mailbox"

token_of() { sed -n 's/.*name="token" value="\([^"]*\)".*/\1/p' "$1" | head -1; }
jar="$work/jar"
curl -s -b "$jar" -c "$jar" "$base/" >"$work/signin.html"
curl -s -b "$jar" -c "$jar" -L -d "token=$(token_of "$work/signin.html")&user=alice&password=wonderland" \
    "$base/default.asp" >"$work/inbox.html"
grep -q 'id="inbox"' "$work/inbox.html" || { echo "signing in failed" >&2; exit 1; }

# n messages of about 2 KB, named in order of arrival.
fill() {   # n
    rm -rf "$box"
    mkdir -p "$box"
    python3 - "$box" "$1" <<'PY'
import sys
box, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    with open(f"{box}/{i:06d}.in", "wb") as f:
        f.write((f"From: Sender {i} <s{i}@example.com>\r\nTo: alice@localhost\r\n"
                 f"Subject: =?utf-8?B?5ZGo5Lya?= note {i}\r\nDate: Mon, 7 Dec 2026 10:00:00 +0800\r\n"
                 "Content-Type: text/plain; charset=utf-8\r\n\r\n" + "x" * 1900 + "\r\n").encode())
PY
    touch -d '1 minute ago' "$box"
}

ms() {   # path: the median of 9 requests, after one
    curl -s -f -b "$jar" -o /dev/null "$base/$1"
    for _ in $(seq 9); do
        curl -s -f -b "$jar" -o /dev/null -w '%{time_total}\n' "$base/$1"
    done | sort -n | awk '{v[NR] = $1} END {printf "%d\n", v[5] * 1000}'
}

declare -A figure
for n in 100 10000; do
    fill "$n"
    figure[inbox$n]=$(ms "inbox.asp?page=$(((n + 9) / 10))")
    figure[read$n]=$(ms "read.asp?i=$((n - 5))")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "| page | 100 messages | 10,000 messages | ratio | goal |"
echo "|---|---|---|---|---|"
echo "| the inbox's last page | ${figure[inbox100]} ms | ${figure[inbox10000]} ms | $(ratio "${figure[inbox10000]}" "${figure[inbox100]}") | <= 2 |"
echo "| a message near the end | ${figure[read100]} ms | ${figure[read10000]} ms | $(ratio "${figure[read10000]}" "${figure[read100]}") | <= 2 |"
