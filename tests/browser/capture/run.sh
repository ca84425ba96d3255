#!/usr/bin/env bash
# Re-captures the browser bodies of tests/data/browser-bodies/: starts the page
# host under Wine (a prefix of its own, build/capture-prefix) with the site of
# tests/browser/capture/site on a free loopback port, has headless Chromium
# post its forms (tests/browser/capture-bodies.js), then rewrites
# reference.txt with tests/browser-body-reference.py. Not part of the test
# run; needs a Windows build (./run.sh build) and `npm ci` in tests/browser.
#
#   tests/browser/capture/run.sh [OUTDIR]   (default tests/data/browser-bodies)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
OUT=$(mkdir -p "${1:-$ROOT/tests/data/browser-bodies}" && cd "${1:-$ROOT/tests/data/browser-bodies}" && pwd)
export WINEPREFIX="${TARNWICK_CAPTURE_PREFIX:-$ROOT/build/capture-prefix}"
source "$ROOT/demo/webmail-env.sh"
trap webmail_stop EXIT

webmail_prefix
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log="$ROOT/build/capture-host.log"
zh wine 'C:\tarnwick\tarnwick-host.exe' --site "$ROOT/tests/browser/capture/site" --port "$port" > "$log" 2>&1 &
WEBMAIL_PIDS+=($!)
for i in $(seq 300); do
    curl -s -o /dev/null "http://127.0.0.1:$port/forms.html" && break
    [ "$i" -lt 300 ] || { echo "the page host did not start; its log:" >&2; cat "$log" >&2; exit 1; }
    sleep 0.2
done

BASE_URL="http://127.0.0.1:$port" node "$ROOT/tests/browser/capture-bodies.js" "$OUT"
python3 "$ROOT/tests/browser-body-reference.py" "$OUT"
