#!/usr/bin/env bash
# The demo: registers Tarnwick.dll in a private Wine prefix, creates a small
# sample mail store and runs demo/demo.vbs, a script that uses the objects the
# way a web-mail page does. A stand-in for the web server's page objects (the
# test page host) carries the posted form and collects what the page writes.
# The script writes its report in GBK; it is shown here in UTF-8.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DLL="$ROOT/build/win64/Tarnwick.dll"
HOST="$ROOT/build/win64/tests/pagehost/TarnwickTestHost.dll"
[ -f "$DLL" ] && [ -f "$HOST" ] || { echo "build first: ./run.sh build" >&2; exit 1; }

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
cp "$DLL" "$HOST" "$WINEPREFIX/drive_c/tarnwick/"
zh wine regsvr32 /s 'C:\tarnwick\Tarnwick.dll'
zh wine regsvr32 /s 'C:\tarnwick\TarnwickTestHost.dll'

# The mail store: C:\mail\<user>\mailbox\ holds one file per message.
store="$WINEPREFIX/drive_c/mail"
rm -rf "$store" "$WINEPREFIX/drive_c/demo"
mkdir -p "$store/alice/mailbox" "$store/bob/mailbox" "$WINEPREFIX/drive_c/demo"
crlf() { sed 's/$/\r/'; }
crlf > "$store/alice/mailbox/1.in" <<'MSG'
From: bob@localhost
To: alice@localhost
Subject: Lunch on Friday?
Date: Mon, 7 Dec 2026 10:00:00 +0800
Content-Type: multipart/mixed; boundary="next-part"

This is a multi-part message in MIME format.
--next-part
Content-Type: text/plain; charset=us-ascii

Shall we try the new noodle place? The menu is attached.
--next-part
Content-Type: text/plain; name="menu.txt"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="menu.txt"

Tm9vZGxlcyB3aXRoIGJlZWYKRHVtcGxpbmdzCkdyZWVuIHRlYQo=
--next-part--
MSG
# A Chinese message: GB2312 subject (base64 word) and quoted-printable body.
crlf > "$store/alice/mailbox/2.in" <<'MSG'
From: =?gb2312?B?zfXD9w==?= <wangming@localhost>
To: alice@localhost
Subject: =?gb2312?B?1tzB+bvh0uk=?=
Date: Tue, 8 Dec 2026 09:30:00 +0800
Content-Type: text/plain; charset=gb2312
Content-Transfer-Encoding: quoted-printable

=C3=F7=CC=EC=C9=CF=CE=E7=BE=C5=B5=E3=BF=AA=BB=E1=A1=A3
MSG

echo "== running demo/demo.vbs as a page would"
zh wine cscript //nologo "Z:${ROOT//\//\\}\\demo\\demo.vbs"
iconv -f GBK -t UTF-8 "$WINEPREFIX/drive_c/demo/report.txt"
echo "== delivered into C:\\mail\\bob\\:"
for f in "$store"/bob/qvr*.in; do
    echo "-- $(basename "$f")"
    iconv -f GBK -t UTF-8 "$f" | tr -d '\r'
done
