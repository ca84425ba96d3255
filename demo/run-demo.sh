#!/usr/bin/env bash
# The script-only demo: runs demo/demo.vbs, a script that uses the objects the
# way a web-mail page does, over the web-mail demo's sample mail store. A
# stand-in for the web server's page objects (the test page host) carries the
# posted form and collects what the page writes. The script writes its report
# in GBK; it is shown here in UTF-8.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HOST="$ROOT/build/win64/tests/pagehost/TarnwickTestHost.dll"
[ -f "$HOST" ] || { echo "build first: ./run.sh build" >&2; exit 1; }

export WINEPREFIX="${TARNWICK_DEMO_PREFIX:-$ROOT/build/demo-prefix}"
source "$ROOT/demo/webmail-env.sh"
webmail_prefix
cp "$HOST" "$WINEPREFIX/drive_c/tarnwick/"
zh wine regsvr32 /s 'C:\tarnwick\TarnwickTestHost.dll'
webmail_store
store="$WINEPREFIX/drive_c/mail"
rm -rf "$WINEPREFIX/drive_c/demo"
mkdir -p "$WINEPREFIX/drive_c/demo"

echo "== running demo/demo.vbs as a page would"
zh wine cscript //nologo "Z:${ROOT//\//\\}\\demo\\demo.vbs"
iconv -f GBK -t UTF-8 "$WINEPREFIX/drive_c/demo/report.txt"
# The mail server's local delivery collects what was delivered into bob's
# folder into his mailbox (up to the end-of-data line, dot-stuffing undone).
echo "== delivered into C:\\mail\\bob\\ and collected into his mailbox:"
for f in "$store"/bob/qvr*.in; do
    [ -f "$f" ] || continue
    webmail_collect "$f"
    [ -n "$COLLECTED" ] || continue
    echo "-- $(basename "$f") as mailbox\\$COLLECTED"
    iconv -f GBK -t UTF-8 "$store/bob/mailbox/$COLLECTED" | tr -d '\r'
done
