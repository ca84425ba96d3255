#!/usr/bin/env bash
# Browser tests of the sample web-mail site: sets up the demo (its own Wine
# prefix, sample store, delivery stand-in, page host on a free port) and runs
# webmail.test.js in Debian's headless Chromium. Screenshots of the inbox and
# of a message are saved in build/screenshots/. Needs `npm ci` done here.
#
#   tests/browser/run.sh [--build DIR]   DIR: the Windows build to test
#                                        (default build/win64, or $TARNWICK_BUILD_DIR)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
while [ $# -gt 0 ]; do
    case "$1" in
    --build) export TARNWICK_BUILD_DIR=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 [--build DIR]" >&2; exit 2 ;;
    esac
done
export WINEPREFIX="${TARNWICK_BROWSER_PREFIX:-$ROOT/build/browser-prefix}"
source "$ROOT/demo/webmail-env.sh"
trap webmail_stop EXIT

webmail_prefix
webmail_store
webmail_delivery
port=$((20000 + ($$ + 7919) % 20000))
webmail_host "$port" "$ROOT/build/browser-host.log"

status=0
BASE_URL="http://127.0.0.1:$port" MAIL_STORE="$WINEPREFIX/drive_c/mail" SCREENSHOTS="$ROOT/build/screenshots" \
    node "$ROOT/tests/browser/webmail.test.js" || status=$?
if [ "$status" -ne 0 ] && grep -q "page error" "$ROOT/build/browser-host.log"; then
    grep "page error" "$ROOT/build/browser-host.log" >&2
fi
exit "$status"
