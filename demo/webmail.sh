#!/usr/bin/env bash
# The demo: the sample web-mail site (webmail/) served by the page host under
# Wine, over a sample mail store.
#
#   demo/webmail.sh [--port N]    start it and wait; Ctrl-C stops it
#   demo/webmail.sh --check       the same set-up, one walk through the site
#                                 with curl, then stop (exit status tells)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check=0
port=8080
while [ $# -gt 0 ]; do
    case "$1" in
    --check) check=1; port=$((20000 + $$ % 20000)); shift ;;
    --port) port=$2; shift 2 ;;
    *) echo "usage: $0 [--check] [--port N]" >&2; exit 2 ;;
    esac
done

export WINEPREFIX="${TARNWICK_DEMO_PREFIX:-$ROOT/build/demo-prefix}"
source "$ROOT/demo/webmail-env.sh"
trap webmail_stop EXIT
trap 'exit 130' INT TERM

webmail_prefix
webmail_store
webmail_delivery
log="$ROOT/build/demo-host.log"
webmail_host "$port" "$log"

if [ "$check" -eq 1 ]; then
    exec 3>&1
    "$ROOT/demo/walk-site.sh" "http://127.0.0.1:$port" "$WINEPREFIX/drive_c/mail" || {
        echo "the walk through the site failed; the host's log:" >&2
        cat "$log" >&2
        exit 1
    }
    exit 0
fi

cat <<EOF2

  Tarnwick web mail is running at http://127.0.0.1:$port/
  Sign in as alice / wonderland (also bob / builder, wangming / nihao).
  Mail sent to bob@localhost or wangming@localhost arrives in their inbox.
  The host's log: $log
  Ctrl-C stops it.

EOF2
# Waiting in `wait` (not in a foreground command) lets Ctrl-C or a TERM end
# the demo at once; the exit trap stops the host and the delivery loop.
tail -n +1 -f "$log" &
WEBMAIL_PIDS+=($!)
wait
