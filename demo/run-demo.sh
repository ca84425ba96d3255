#!/usr/bin/env bash
# The demo: registers Tarnwick.dll in a private Wine prefix, creates a small
# sample mail store and runs demo/demo.vbs, a script that uses the objects the
# way a page does and prints what the page would show.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DLL="$ROOT/build/win64/Tarnwick.dll"
[ -f "$DLL" ] || { echo "build first: ./run.sh build" >&2; exit 1; }

export WINEPREFIX="${TARNWICK_DEMO_PREFIX:-$ROOT/build/demo-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Windows code page 936 (GBK), as on the target systems; set per command so
# the shell itself does not need that locale installed.
zh() { env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$@"; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== making a Wine prefix in $WINEPREFIX"
    zh wineboot -i >/dev/null 2>&1
fi
mkdir -p "$WINEPREFIX/drive_c/tarnwick"
cp "$DLL" "$WINEPREFIX/drive_c/tarnwick/"
zh wine regsvr32 /s 'C:\tarnwick\Tarnwick.dll'

# A small mail store: C:\mail\<user>\mailbox\ holds one file per message.
store="$WINEPREFIX/drive_c/mail"
rm -rf "$store"
mkdir -p "$store/alice/mailbox" "$store/bob/mailbox"
crlf() { sed 's/$/\r/'; }
crlf > "$store/alice/mailbox/msg1.in" <<'MSG'
From: bob@localhost
To: alice@localhost
Subject: Lunch on Friday?
Date: Mon, 7 Dec 2026 10:00:00 +0800

Shall we try the new noodle place?
MSG
crlf > "$store/alice/mailbox/msg2.in" <<'MSG'
From: carol@example.com
To: alice@localhost
Subject: Minutes
Date: Tue, 8 Dec 2026 09:30:00 +0800

The minutes of Monday's meeting.
MSG

echo "== running demo/demo.vbs as a page would"
zh wine cscript //nologo "Z:${ROOT//\//\\}\\demo\\demo.vbs" 2>/dev/null
