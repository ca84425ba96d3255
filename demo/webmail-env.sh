# Shared set-up of the web-mail demo, sourced by demo/webmail.sh and by the
# browser tests: a private Wine prefix with Tarnwick.dll registered, a
# sample mail store in C:\mail, a stand-in for the mail server's local
# delivery, and the page host serving webmail/.
#
# Needs ROOT (the source tree) and WINEPREFIX set by the caller;
# TARNWICK_BUILD_DIR picks the Windows build to use (default build/win64).

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Windows code page 936 (GBK), as on the target systems; set per command so
# the shell itself does not need that locale installed.
zh() { env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$@"; }
crlf() { sed 's/$/\r/'; }

WEBMAIL_BUILD="${TARNWICK_BUILD_DIR:-$ROOT/build/win64}"
WEBMAIL_DLL="$WEBMAIL_BUILD/Tarnwick.dll"
WEBMAIL_HOST="$WEBMAIL_BUILD/host/tarnwick-host.exe"
WEBMAIL_PIDS=()

webmail_prefix() {
    [ -f "$WEBMAIL_DLL" ] && [ -f "$WEBMAIL_HOST" ] || { echo "no $WEBMAIL_DLL or $WEBMAIL_HOST: build first (./run.sh build)" >&2; return 1; }
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== making a Wine prefix in $WINEPREFIX" >&2
        mkdir -p "$WINEPREFIX"
        zh wineboot -i >/dev/null 2>&1
    fi
    mkdir -p "$WINEPREFIX/drive_c/tarnwick"
    cp "$WEBMAIL_DLL" "$WEBMAIL_HOST" "$WINEPREFIX/drive_c/tarnwick/"
    zh wine regsvr32 /s 'C:\tarnwick\Tarnwick.dll'
    # A host started in the Wine session that made the prefix can hang in
    # the HTTP service's start-up: begin the host in a session of its own.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# A password line of the site's list: user:salt:sha256(salt:password).
password_line() {
    local user=$1 password=$2 salt
    salt=$(head -c 8 /dev/urandom | od -An -tx1 | tr -d ' \n')
    printf '%s:%s:%s\n' "$user" "$salt" "$(printf '%s:%s' "$salt" "$password" | sha256sum | cut -d' ' -f1)"
}

# One message file from a heredoc (LF lines become CR LF).
message() { crlf > "$1"; }

webmail_store() {
    local store="$WINEPREFIX/drive_c/mail"
    rm -rf "$store" "$WINEPREFIX/drive_c/webmail-tmp"
    mkdir -p "$WINEPREFIX/drive_c/webmail-tmp" "$store/alice/mailbox" "$store/bob/mailbox" "$store/wangming/mailbox"
    {
        password_line alice wonderland
        password_line bob builder
        password_line wangming nihao
    } > "$store/passwd.txt"

    message "$store/alice/mailbox/01.in" <<'MSG'
From: Bob <bob@localhost>
To: alice@localhost
Subject: Lunch on Friday?
Date: Mon, 7 Dec 2026 10:00:00 +0800
Content-Type: multipart/mixed; boundary="next-part"

This is a multi-part message in MIME format.
--next-part
Content-Type: text/plain; charset=us-ascii

Shall we try the new noodle place? The menu is attached,
and a little picture of the way there.
--next-part
Content-Type: text/plain; name="menu.txt"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="menu.txt"

Tm9vZGxlcyB3aXRoIGJlZWYKRHVtcGxpbmdzCkdyZWVuIHRlYQo=
--next-part
Content-Type: image/png; name="map.png"
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename="map.png"

iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAIAAACQkWg2AAABlklEQVR42hXR4RiFMQiG4Q9h
CEMIYQghhDCEEIbwIIQQQgghDOHs9Lu7662+72N8zA/5WB/6YR/7wz/OBx/xkR/10R/34/sG
YzAHMlgDHdhgD3xwBgxikIMa9OCOByZjMicyWROd2GRPfHImTGKSk5r05M4HhCFMQYQlqGDC
Flw4AkIIKZTQwpUHFmMxF7JYC13YYi98cRYsYpGLWvTirgeUoUxFlKWoYspWXDkKSiiplNLK
1QeMYUxDjGWoYcY23DgGRhhplNHGtQc2YzM3slkb3dhmb3xzNmxik5va9ObuB5zhTEec5ahj
znbcOQ5OOOmU0871Bw7jMA9yWAc92GEf/HAOHOKQhzr04Z4H/s95534HfCd5S77YL8gb/Zr/
FZBQ0HDf679gBDOQYAUaWLADD0782yPIoIIObjyQjGQmkqxEE0t24snJ//BIMqmkk5sPFKOY
hRSr0MKKXXhx6h8liiyq6OLWA81oZiPNarSxZjfenP4Hjyabarq5/cBlXOZFLuuiF7vsi1/O
/a8Zl7zUpS/38gNq4ZAQAX6pcwAAAABJRU5ErkJggg==
--next-part--
MSG
    # Chinese: a GB2312 subject and sender (base64 words), quoted-printable body.
    message "$store/alice/mailbox/02.in" <<'MSG'
From: =?gb2312?B?zfXD9w==?= <wangming@localhost>
To: alice@localhost
Subject: =?gb2312?B?1tzB+bvh0uk=?=
Date: Tue, 8 Dec 2026 09:30:00 +0800
Content-Type: text/plain; charset=gb2312
Content-Transfer-Encoding: quoted-printable

=C3=F7=CC=EC=C9=CF=CE=E7=BE=C5=B5=E3=BF=AA=BB=E1=A1=A3
MSG
    # Chinese body with an attachment, written in GBK bytes.
    {
        printf 'From: wangming@localhost\nTo: alice@localhost\nSubject: =?gb2312?B?%s?=\n' \
            "$(printf '项目计划' | iconv -f UTF-8 -t GB2312 | base64)"
        printf 'Date: Tue, 8 Dec 2026 11:15:00 +0800\n'
        printf 'Content-Type: multipart/mixed; boundary="b1"\n\n--b1\n'
        printf 'Content-Type: text/plain; charset=gb2312\nContent-Transfer-Encoding: 8bit\n\n'
        printf '你好，\n附件是下个月的项目计划，请查收。\n王明\n' | iconv -f UTF-8 -t GB2312
        printf -- '--b1\nContent-Type: text/plain; name="plan.txt"\nContent-Transfer-Encoding: base64\n'
        printf 'Content-Disposition: attachment; filename="plan.txt"\n\n'
        printf '一月：设计\n二月：实现\n三月：测试\n' | iconv -f UTF-8 -t GB2312 | base64
        printf -- '--b1--\n'
    } | message "$store/alice/mailbox/03.in"
    # Mail as clients write it today, in UTF-8 and other charsets.
    # A long Chinese subject that the client split into several UTF-8 words
    # on folded lines; the blanks between adjacent words are not part of it.
    {
        printf 'From: =?utf-8?B?%s?= <lihua@localhost>\nTo: alice@localhost\n' "$(printf '李华' | base64)"
        printf 'Subject: =?utf-8?B?%s?=\n =?utf-8?B?%s?=\n\t=?UTF-8?b?%s?=\n' \
            "$(printf '关于下个季度' | base64)" "$(printf '产品发布会的' | base64)" "$(printf '安排和准备工作' | base64)"
        printf 'Date: Thu, 10 Dec 2026 14:20:00 +0800\nMIME-Version: 1.0\n'
        printf 'Content-Type: text/plain; charset="utf-8"\nContent-Transfer-Encoding: base64\n\n'
        printf '大家好：\n发布会定在三月，详细安排见下周的会议。\n李华\n' | base64
    } | message "$store/alice/mailbox/14.in"
    # Korean: a subject in EUC-KR, an attachment named by RFC 2231 (UTF-8,
    # percent-encoded) and, for older readers, by an encoded word.
    {
        printf 'From: Kim Minji <minji@localhost>\nTo: alice@localhost\n'
        printf 'Subject: =?euc-kr?B?%s?=\n' "$(printf '분기 보고서를 보냅니다' | iconv -f UTF-8 -t EUC-KR | base64)"
        printf 'Date: Fri, 11 Dec 2026 09:05:00 +0900\nMIME-Version: 1.0\n'
        printf 'Content-Type: multipart/mixed; boundary="kr-part"\n\n--kr-part\n'
        printf 'Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n'
        printf '앨리스 씨, 분기 보고서를 첨부합니다.\n'
        printf -- '--kr-part\nContent-Type: text/plain; charset=utf-8;\n name="=?utf-8?B?%s?="\n' \
            "$(printf '분기 보고서.txt' | base64)"
        printf 'Content-Transfer-Encoding: base64\nContent-Disposition: attachment;\n'
        printf " filename*=utf-8''%s\n\n" '%EB%B6%84%EA%B8%B0%20%EB%B3%B4%EA%B3%A0%EC%84%9C.txt'
        printf '매출 120\r\n비용 80\r\n' | base64
        printf -- '--kr-part--\n'
    } | message "$store/alice/mailbox/15.in"
    # A subject with an emoji, outside every code page but UTF-8's.
    {
        printf 'From: Carol <carol@localhost>\nTo: alice@localhost\n'
        printf 'Subject: =?UTF-8?B?%s?=\n' "$(printf 'Party 🎉 tonight' | base64)"
        printf 'Date: Fri, 11 Dec 2026 18:30:00 +0800\nMIME-Version: 1.0\n'
        printf 'Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: quoted-printable\n\n'
        printf 'Bring snacks =F0=9F=8D=95 and music =F0=9F=8E=B5.\n'
    } | message "$store/alice/mailbox/16.in"
    # HTML with a picture of its own (a cid: image) and a remote one, which
    # the formatted view does not load.
    {
        printf 'From: Bob <bob@localhost>\nTo: alice@localhost\nSubject: The way to the noodle place\n'
        printf 'Date: Sat, 12 Dec 2026 09:00:00 +0800\nMIME-Version: 1.0\n'
        printf 'Content-Type: multipart/related; boundary="rel-part"\n\n--rel-part\n'
        printf 'Content-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n'
        printf '<html><body style="font-family: sans-serif">\n<h2 style="color: #b45309">Noodles on Friday</h2>\n'
        printf '<p>Here is the <b>map</b>:</p>\n<p><img src="cid:map@localhost" alt="map" width="64" height="64"></p>\n'
        printf '<p>And a photo from their site: <img src="http://203.0.113.9/photo.jpg" alt="(remote photo)"></p>\n'
        printf '<p>See you at noon.<br>Bob</p>\n</body></html>\n'
        printf -- '--rel-part\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n'
        printf 'Content-ID: <map@localhost>\nContent-Disposition: inline; filename="map.png"\n\n'
        base64 -w 76 "$ROOT/tests/browser/data/map.png"
        printf -- '--rel-part--\n'
    } | message "$store/alice/mailbox/17.in"
    # Enough plain messages for a second inbox page.
    local i
    for i in $(seq 4 13); do
        message "$store/alice/mailbox/$(printf '%02d' "$i").in" <<MSG
From: Newsletter <news@localhost>
To: alice@localhost
Subject: Weekly notes, issue $i
Date: Wed, 9 Dec 2026 08:$(printf '%02d' "$i"):00 +0800
Content-Type: text/plain; charset=us-ascii

Issue $i of the weekly notes. Nothing urgent this week.
MSG
    done
    message "$store/bob/mailbox/01.in" <<'MSG'
From: Alice <alice@localhost>
To: bob@localhost
Subject: Re: Lunch on Friday?
Date: Mon, 7 Dec 2026 11:00:00 +0800
Content-Type: text/plain; charset=us-ascii

Yes, noodles it is. See you at noon.
MSG
}

# Collects one message file the way the mail server does: the message up
# to its end-of-data line (a line holding "." alone), a line starting with
# "." losing that dot (the writer doubled it), into the user's mailbox
# folder; then the file goes. The mailbox name is "n" and the arrival time
# in nanoseconds (19 digits), so the mailbox lists in order of arrival, after
# the seeded messages (named by their two-digit numbers); the qvr names the
# site writes are not padded and do not sort by time. Bytes pass as they are
# (CR LF line ends, 8-bit text). A file whose end-of-data line has not been
# written yet is left for the next round, unless it has not changed for 10
# seconds (a writer that adds none): then it is collected whole.
webmail_collect() {   # FILE (C:\mail\<user>\qvr*.in)
    local f=$1 box name
    COLLECTED=
    box="$(dirname "$f")/mailbox"
    if ! LC_ALL=C grep -aqxF -e . -e $'.\r' "$f"; then
        [ $(($(date +%s) - $(stat -c %Y "$f"))) -ge 10 ] || return 0
    fi
    name="n$(date +%s%N).in"
    mkdir -p "$box"
    # Written beside the mailbox first, so a reader never sees half of it.
    LC_ALL=C sed -n -e '/^\.\r\{0,1\}$/q' -e 's/^\.//' -e p "$f" > "$f.collecting" &&
        mv "$f.collecting" "$box/$name" && rm -f "$f"
    COLLECTED=$name
}

# Stands in for the mail server's local delivery: each message the site
# delivers (C:\mail\<user>\qvr*.in) is collected into that user's mailbox,
# in the order the site wrote them.
webmail_delivery() {
    local store="$WINEPREFIX/drive_c/mail"
    (
        while sleep 1; do
            # Oldest first, so the mailbox names follow the order of arrival.
            find "$store" -mindepth 2 -maxdepth 2 -type f -name 'qvr*.in' -printf '%T@ %p\n' | sort -n |
                cut -d' ' -f2- | while IFS= read -r f; do
                    webmail_collect "$f"
                done
        done
    ) &
    WEBMAIL_PIDS+=($!)
}

# Starts the host on 127.0.0.1:$1 with the site; waits until it answers.
webmail_host() {
    local port=$1 log=$2 i
    zh wine 'C:\tarnwick\tarnwick-host.exe' --site "$ROOT/webmail" --port "$port" > "$log" 2>&1 &
    WEBMAIL_PIDS+=($!)
    # A fresh prefix starts its HTTP service on first use: allow a minute.
    for i in $(seq 300); do
        curl -s -o /dev/null "http://127.0.0.1:$port/style.css" && return 0
        sleep 0.2
    done
    echo "the page host did not start; its log:" >&2
    cat "$log" >&2
    return 1
}

webmail_stop() {
    local pid
    for pid in "${WEBMAIL_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    WEBMAIL_PIDS=()
}
