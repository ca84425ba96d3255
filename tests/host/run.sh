#!/usr/bin/env bash
# End-to-end tests of tarnwick-host: the pages and files of tests/host/site
# served over HTTP under Wine and driven from Linux with curl.
#
#   tests/host/run.sh --exe <tarnwick-host.exe> --dll <Tarnwick.dll>
#
# Makes a fresh Wine prefix, registers Tarnwick.dll, copies the site into a
# scratch folder (with a file outside the site that no URL may reach), and runs
# the checks in groups. Each group gets a fresh host on a free loopback port,
# with --debug unless the group needs otherwise, so that sessions and
# Application values of one group cannot leak into another. Hosts run one at a
# time: under Wine 8 the HTTP Server API of a prefix is shared, and a host that
# stops takes the listeners of any other host of that prefix with it.
#
# The program and the DLL are copied into the prefix first, so a rebuild of
# build/ during a run does not change what is tested.
#
# Protocol: "not ok <name> # <detail>" per failed check (and "ok <name>" per
# passed one with TARNWICK_VERBOSE=1), then a last line "N passed, M failed";
# the exit status is non-zero when a check failed.
#
# Environment:
#   TARNWICK_VERBOSE=1      also print the "ok" lines
#   TARNWICK_KEEP_PREFIX=1  keep the scratch folder (prefix, site copy, host logs)
#
# Needs curl, cmp, base64, timeout, ps and pgrep on the Linux side.
set -u

usage() {
    echo "usage: $0 --exe <tarnwick-host.exe> --dll <Tarnwick.dll>" >&2
    exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=""
dll=""
while [ $# -gt 0 ]; do
    case "$1" in
    --exe) [ $# -ge 2 ] || usage; exe=$2; shift 2 ;;
    --dll) [ $# -ge 2 ] || usage; dll=$2; shift 2 ;;
    -h | --help) usage ;;
    *) echo "unknown argument: $1" >&2; usage ;;
    esac
done
[ -n "$exe" ] && [ -n "$dll" ] || usage
for f in "$exe" "$dll"; do
    if [ ! -f "$f" ]; then
        echo "not found: $f" >&2
        exit 2
    fi
done
for tool in curl cmp base64 timeout wine wineboot wineserver; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "missing tool: $tool" >&2
        exit 2
    fi
done

verbose=${TARNWICK_VERBOSE:-0}
work=$(mktemp -d -t tarnwick-e2e.XXXXXX)
prefix=$work/prefix
site=$work/site
data=$work/data
mkdir -p "$prefix" "$data"
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The locale is given to Wine's processes only (the shell itself may lack it):
# it makes Windows' ANSI code page 936 (GBK), as on the target systems.
wine_env=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

host_pid=""
host_port=""
host_log=""
base=""

stop_host() {
    [ -n "$host_pid" ] || return 0
    kill "$host_pid" 2>/dev/null
    local i
    for ((i = 0; i < 40; i++)); do
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL "$host_pid" 2>/dev/null
    wait "$host_pid" 2>/dev/null
    host_pid=""
}

cleanup() {
    stop_host
    "${wine_env[@]}" wineserver -k >/dev/null 2>&1
    if [ "${TARNWICK_KEEP_PREFIX:-0}" = 1 ]; then
        echo "kept $work (prefix, site copy, host logs)"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# ---------------------------------------------------------------------------
# Reporting

passed=0
failed=0
problems=""

pass() {
    passed=$((passed + 1))
    [ "$verbose" = 1 ] && echo "ok $1"
    return 0
}

fail() {  # <name> <detail>
    failed=$((failed + 1))
    echo "not ok $1 # $2"
}

# Text shown in a failure: line breaks visible, long text cut.
show() {
    local s=${1//$'\r'/\\r}
    s=${s//$'\n'/\\n}
    [ ${#s} -gt 300 ] && s="${s:0:300}..."
    printf '%s' "$s"
}

problem() { problems+="${problems:+; }$1"; }

# Ends a check: passes when no expectation since the last verdict failed.
verdict() {  # <name>
    if [ -z "$problems" ]; then pass "$1"; else fail "$1" "$problems"; fi
    problems=""
}

# ---------------------------------------------------------------------------
# Requests

hdr=$work/headers
body=$work/body
raw=$work/raw
status=""
nl=$'\n'

# fetch <path> [curl options...]: status, headers and body of one request.
fetch() {
    local path=$1
    shift
    : >"$hdr"
    : >"$body"
    status=$(curl -s --path-as-is -m 30 -D "$hdr" -o "$body" -w '%{http_code}' "$@" "$base$path")
    [ -n "$status" ] || status=000
}

# raw_request <request text>: sends the bytes as they are on a connection of
# its own and keeps what comes back in $raw (whatever came within 2 seconds:
# enough for a loopback answer, and a host that keeps the connection open
# then cannot hold the run).
raw_request() {
    : >"$raw"
    timeout 2 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1; printf "%s" "$2" >&3; cat <&3' \
        _ "$host_port" "$1" >"$raw" 2>/dev/null
}

# Bytes of $raw after the head (the first empty line).
raw_body_bytes() {
    local all head
    all=$(stat -c %s "$raw")
    head=$(sed -n '1,/^\r$/p' "$raw" | wc -c)
    echo $((all - head))
}

# The first value of a response header ("" when absent).
header() {
    tr -d '\r' <"$hdr" | grep -i -m1 "^$1:" | sed 's/^[^:]*:[[:space:]]*//'
}

# Every line of a response header, values only.
header_all() {
    tr -d '\r' <"$hdr" | grep -i "^$1:" | sed 's/^[^:]*:[[:space:]]*//'
}

status_line() { tr -d '\r' <"$hdr" | grep '^HTTP/' | tail -1; }

want_status() {
    [ "$status" = "$1" ] || problem "status $status, expected $1 (body: $(show "$(head -c 200 "$body")"))"
}
want_eq() {  # <what> <expected> <actual>
    [ "$2" == "$3" ] || problem "$1: expected [$(show "$2")], got [$(show "$3")]"
}
want_header() {  # <name> <expected value>
    local v
    v=$(header "$1")
    [ "$v" == "$2" ] || problem "header $1: expected [$(show "$2")], got [$(show "$v")]"
}
want_body_has() {
    grep -a -F -q -- "$1" "$body" || problem "body lacks [$(show "$1")] (body: $(show "$(head -c 300 "$body")"))"
}
want_body_lacks() {
    if grep -a -F -q -- "$1" "$body"; then problem "body contains [$(show "$1")]"; fi
}
want_body_is() {  # exact bytes (a shell string: no NUL)
    if ! cmp -s <(printf '%s' "$1") "$body"; then
        problem "body: expected [$(show "$1")], got [$(show "$(cat "$body")")]"
    fi
}
want_body_file() {  # <file>: exact bytes
    if ! cmp -s "$1" "$body"; then
        problem "body differs from $(basename "$1") ($(stat -c %s "$1") bytes expected, $(stat -c %s "$body") got; $(cmp "$1" "$body" 2>&1 | head -1))"
    fi
}
want_log_has() {
    grep -a -F -q -- "$1" "$host_log" || problem "host log lacks [$(show "$1")]"
}

# A value of a "name=value" line of the body.
body_value() { tr -d '\r' <"$body" | grep -a -m1 "^$1=" | cut -d= -f2-; }

# Percent-encodes every byte but letters and digits.
urlencode() {
    local LC_ALL=C
    local s=$1 out="" c i h
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        case "$c" in
        [a-zA-Z0-9]) out+=$c ;;
        *) printf -v h '%%%02X' "'$c"; out+=$h ;;
        esac
    done
    printf '%s' "$out"
}

# ---------------------------------------------------------------------------
# Hosts

free_port() {
    local p i
    for ((i = 0; i < 200; i++)); do
        # Below the ephemeral range, where the host picks its internal port.
        p=$((20000 + RANDOM % 12000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
    return 1
}

windir='C:\tarnwick\'
winexe="${windir}tarnwick-host-test.exe"
host_starts=0

# start_host <name> [host options...]: stops the running host, starts a new
# one and waits until it answers. A host that does not answer is a failure.
start_host() {
    local name=$1
    shift
    stop_host
    host_log=$work/host-$name.log
    host_port=$(free_port) || { fail "host starts ($name)" "no free port"; return 1; }
    base="http://127.0.0.1:$host_port"
    "${wine_env[@]}" wine "$winexe" --site "$site" --port "$host_port" "$@" >"$host_log" 2>&1 &
    host_pid=$!
    local i
    for ((i = 0; i < 600; i++)); do
        if curl -s -o /dev/null -m 2 "$base/"; then
            host_starts=$((host_starts + 1))
            return 0
        fi
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.05
    done
    fail "host starts ($name)" "no answer on port $host_port within 30 s; its output:"
    sed 's/^/    /' "$host_log"
    stop_host
    return 1
}

# ---------------------------------------------------------------------------
# Setup: prefix, DLL, site copy, data outside the site

echo "scratch: $work"
if ! timeout 300 "${wine_env[@]}" wineboot -i >"$work/wineboot.log" 2>&1; then
    fail "wineboot" "the prefix could not be made; its output:"
    sed 's/^/    /' "$work/wineboot.log"
    echo "$passed passed, $failed failed"
    exit 1
fi
mkdir -p "$prefix/drive_c/tarnwick"
cp "$exe" "$prefix/drive_c/tarnwick/tarnwick-host-test.exe"
cp "$dll" "$prefix/drive_c/tarnwick/Tarnwick.dll"
if ! timeout 120 "${wine_env[@]}" wine regsvr32 /s "${windir}Tarnwick.dll" >/dev/null 2>&1; then
    fail "regsvr32 Tarnwick.dll" "registration failed: the component checks cannot pass"
fi
# A host started in the Wine session that ran the first boot of the prefix may
# hang before it serves (the service manager starts twice); a new session
# starts the services cleanly when the first host needs them.
"${wine_env[@]}" wineserver -k >/dev/null 2>&1
"${wine_env[@]}" wineserver -w >/dev/null 2>&1

cp -R "$here/site" "$site"
winsite="Z:$(printf '%s' "$site" | tr / '\\')"
windata="Z:$(printf '%s' "$data" | tr / '\\')"
secret_marker="TOP-SECRET-OUTSIDE-THE-SITE"
printf '%s\n' "$secret_marker" >"$work/secret.txt"

# One small file per served type (the content type goes by the extension only).
types="html:text/html htm:text/html css:text/css js:application/javascript json:application/json
txt:text/plain xml:text/xml png:image/png jpg:image/jpeg jpeg:image/jpeg gif:image/gif
ico:image/x-icon svg:image/svg+xml pdf:application/pdf zip:application/zip wasm:application/wasm"
mkdir -p "$site/types"
for t in $types; do printf 'a %s file\n' "${t%%:*}" >"$site/types/f.${t%%:*}"; done
printf 'upper-case extension\n' >"$site/types/UPPER.TXT"

# Request bodies and uploads.
head -c 100000 /dev/urandom >"$data/small.bin"
head -c $((6 * 1024 * 1024 + 123)) /dev/urandom >"$data/large.bin"
head -c $((24 * 1024 * 1024)) /dev/urandom >"$data/huge.bin"
printf 'abcdefghij' >"$data/ten.txt"
head -c 1024 /dev/zero | tr '\0' 'k' >"$data/body1024"
head -c 1025 /dev/zero | tr '\0' 'k' >"$data/body1025"

# A mail store with one message carrying a base64 attachment.
head -c 50001 /dev/urandom >"$data/attachment.bin"
mkdir -p "$data/mail/ann/mailbox"
{
    printf '%s\n' "From: alice@localhost" "To: ann@localhost" "Subject: files" \
        "Date: Mon, 1 Jan 2024 10:00:00 +0800" "MIME-Version: 1.0" \
        'Content-Type: multipart/mixed; boundary="outer-boundary"' "" \
        "--outer-boundary" "Content-Type: text/plain" "" "see the attachment" \
        "--outer-boundary" 'Content-Type: image/png; name="photo.png"' "Content-Transfer-Encoding: base64" \
        'Content-Disposition: attachment; filename="photo.png"' ""
    base64 -w 76 "$data/attachment.bin"
    printf '%s\n' "--outer-boundary--"
} | sed 's/$/\r/' >"$data/mail/ann/mailbox/m.in"

gbk_zhongwen=$(printf '\xd6\xd0\xce\xc4')   # the two characters "Chinese text" in GBK
gbk_hanzi=$(printf '\xba\xba\xd7\xd6')
utf8_hanzi=$(printf '\xe6\xb1\x89\xe5\xad\x97')

# ---------------------------------------------------------------------------
# Groups

group_pages() {
    start_host pages --debug || return
    grep -q "^tarnwick-host: serving" "$host_log" || problem "no 'serving' line in the host's output"
    fetch /
    want_status 200
    want_body_has "site root default page"
    verdict "host starts and serves the site root's default page"

    fetch /basic.asp
    want_status 200
    want_body_is "$(printf '%s\n' '<html><body>' '<h1>Basic</h1>' '<ul>' '<li>item 10</li>' '<li>item 20</li>' \
        '<li>item 30</li>' '</ul>' 'branch-taken' 'ab|no space|written' \
        '<p>percent sign 100% and a lone empty block</p>' '</body></html>')
"
    verdict "page output: literal HTML, <% %> and <%= %>, a loop and a branch spanning blocks"
    want_header Content-Type "text/html"
    want_header Cache-Control "private"
    verdict "a page is text/html with Cache-Control: private by default"

    fetch /end.asp
    want_status 200
    want_body_is "<p>start</p>mid"
    verdict "Response.End sends the output so far and runs nothing after it"

    fetch /include.asp
    want_status 200
    want_body_is "$(printf '%s\n' '<h1>header</h1>' '<em>nested</em>' '' '' '<p>body</p>' '[1][2][3]' 'hello you' \
        '<em>nested</em>' '' '<!-- a comment that names no include -->')
"
    verdict "include files: file= relative, virtual= from the root, nested, inside a loop, backslashes"

    fetch /sub/page.asp
    want_status 200
    want_body_has "<em>nested</em>"
    verdict "an include with ../ from a page in a subfolder"

    # Pages are kept compiled: a change to the page or to an include file is
    # served at once, also when it keeps the file's size or moves its time back.
    mkdir -p "$site/edit"
    printf 'A-<!-- #include file="part.inc" -->' >"$site/edit/page.asp"
    printf 'one' >"$site/edit/part.inc"
    touch -d '-1 hour' "$site/edit/page.asp" "$site/edit/part.inc"
    fetch /edit/page.asp
    want_body_is "A-one"
    fetch /edit/page.asp
    want_body_is "A-one"
    printf 'two' >"$site/edit/part.inc"
    touch -d '-2 hours' "$site/edit/part.inc"
    fetch /edit/page.asp
    want_body_is "A-two"
    printf 'B-<!-- #include file="part.inc" -->' >"$site/edit/page.asp"
    fetch /edit/page.asp
    want_body_is "B-two"
    verdict "a changed page or include file is served changed at once (same size, time moved back, just written)"
    # A release deployed with the times of its archive: the new include has
    # the old one's size and last-write time, and replaces it by a rename.
    printf 'six' >"$work/part.new"
    touch -d '1980-01-01' "$site/edit/part.inc" "$work/part.new"
    sleep 2.5   # every change above has settled: the page is kept
    fetch /edit/page.asp
    fetch /edit/page.asp
    want_body_is "B-two"
    cp -p "$work/part.new" "$site/edit/part.next" && mv "$site/edit/part.next" "$site/edit/part.inc"
    fetch /edit/page.asp
    want_body_is "B-six"
    verdict "an include file replaced by one of the same size and last-write time is served changed at once"
    # Two includes of one size whose times a single touch set alike (the
    # change time too, within the clock's tick; tried again when the tick
    # moved between them), one reached through a link then pointed at the
    # other: neither file changes.
    local try
    for try in 1 2 3 4 5 6 7 8 9 10; do
        printf 'off' >"$site/edit/mode-off.inc"
        printf 'on!' >"$site/edit/mode-on.inc"
        touch -d '1980-01-01' "$site/edit/mode-off.inc" "$site/edit/mode-on.inc"
        [ "$(stat -c %z "$site/edit/mode-off.inc")" = "$(stat -c %z "$site/edit/mode-on.inc")" ] && break
    done
    ln -sfn mode-off.inc "$site/edit/mode.inc"
    printf '<!-- #include file="mode.inc" -->' >"$site/edit/mode.asp"
    sleep 2.5
    fetch /edit/mode.asp
    fetch /edit/mode.asp
    want_body_is "off"
    ln -sfn mode-on.inc "$site/edit/mode.inc"
    fetch /edit/mode.asp
    want_body_is "on!"
    verdict "an include reached through a link pointed at another file of the same size and times is served changed at once"

    fetch "/gbk.asp?q=%BA%BA%D7%D6"
    want_status 200
    want_body_is "$(printf '<p>%s\xd2\xb3\xc3\xe6</p>\nlen=2;hex=BABA;text=%s;url=%%BA%%BA%%D7%%D6;html=&lt;\xba\xba&gt;;qlen=2;q=%s;same=-1;' \
        "$gbk_zhongwen" "$gbk_hanzi" "$gbk_hanzi")
"
    verdict "a GBK page: literal and script text, Len/Asc, URLEncode, HTMLEncode, a %XX query in code page 936"

    fetch "/utf8.asp?q=%E6%B1%89%E5%AD%97"
    want_status 200
    want_body_is "$(printf '\n<p>\xe4\xb8\xad\xe6\x96\x87\xe9\xa1\xb5\xe9\x9d\xa2</p>\nlen=2;text=%s;url=%%E6%%B1%%89%%E5%%AD%%97;qlen=2;q=%s;same=-1;' \
        "$utf8_hanzi" "$utf8_hanzi")
"
    verdict "a CODEPAGE=65001 page: UTF-8 literals, query and URLEncode"

    fetch "/jscript.asp?name=ann"
    want_status 200
    want_body_has "squares=1,4,9,16;name=ann;upper=ANN;session=js-ann;b64=YWJj;"
    want_body_has "<i>7</i><i>14</i>"
    verdict "a JScript page: loops across blocks, QueryString, Session.Contents.Item, Server.CreateObject"
}

group_request() {
    start_host request --debug || return
    fetch "/query.asp?a=x+y%2Bz%26w&b=1&b=2&c=%zz&Name=v"
    want_status 200
    want_eq "a" "[x y+z&w]" "$(body_value a)"
    want_eq "c (a % without hex digits)" "[%zz]" "$(body_value c)"
    want_eq "NAME (names ignore case)" "[v]" "$(body_value name)"
    want_eq "an absent name" "Empty" "$(body_value missing)"
    verdict "QueryString decodes + and %XX; names ignore case; an absent name is Empty"
    want_eq "b" "[1, 2]" "$(body_value b)"
    verdict "QueryString joins a repeated name's values with ', '"
    want_eq "raw" "a=x+y%2Bz%26w&b=1&b=2&c=%zz&Name=v" "$(body_value raw)"
    want_eq "QUERY_STRING" "a=x+y%2Bz%26w&b=1&b=2&c=%zz&Name=v" "$(body_value var)"
    verdict "QueryString without a name and QUERY_STRING give the raw query"
    want_eq "Count" "4" "$(body_value count)"
    want_eq "For Each" "a,b,c,Name," "$(body_value keys)"
    want_eq "Key(1)" "a" "$(body_value key1)"
    verdict "QueryString.Count, Key and For Each count a repeated name once"

    fetch "/form.asp?q=3" -d 'x=1&x=2&sp=a+b%2B&cn=%D6%D0%CE%C4'
    want_status 200
    want_eq "method" "POST" "$(body_value method)"
    want_eq "x" "[1, 2]" "$(body_value x)"
    want_eq "sp" "[a b+]" "$(body_value sp)"
    want_eq "cn" "[$gbk_zhongwen]" "$(body_value cn)"
    want_eq "Len(cn)" "2" "$(body_value cnlen)"
    want_eq "raw" "x=1&x=2&sp=a+b%2B&cn=%D6%D0%CE%C4" "$(body_value raw)"
    want_eq "QueryString beside the form" "[3]" "$(body_value q)"
    verdict "Form of a url-encoded post: decoding, GBK, repeated names, raw Form, QueryString beside it"
    fetch /form.asp -H 'Content-Type: application/x-www-form-urlencoded; charset=GBK' -d 'x=7'
    want_eq "x" "[7]" "$(body_value x)"
    verdict "Form reads a url-encoded post whose Content-Type has a charset"
    fetch /form.asp -H 'Content-Type: text/plain' -d 'x=7'
    want_status 200
    want_eq "x" "[]" "$(body_value x)"
    want_eq "raw" "" "$(body_value raw)"
    verdict "Form is empty for a post that is not url-encoded"

    fetch /binary.asp -H 'Content-Type: application/octet-stream' --data-binary "@$data/ten.txt"
    want_status 200
    want_body_is "total=10;c1=3;c2=7;c3=0;len=10${nl}abc|defghij$nl"
    verdict "TotalBytes and BinaryRead in pieces (the count receives what was read)"
    fetch "/binary.asp?mode=echo" -H 'Content-Type: application/octet-stream' --data-binary "@$data/small.bin"
    want_status 200
    want_header Content-Type "application/octet-stream"
    want_body_file "$data/small.bin"
    verdict "BinaryRead of a whole binary body and BinaryWrite give the bytes back"

    fetch "/vars.asp?q=1" -A "tarnwick-test/1.0" -H "X-Custom-Probe: p1"
    want_status 200
    local name value
    while IFS='|' read -r name value; do
        want_eq "$name" "$value" "$(body_value "$name")"
    done <<EOF
REQUEST_METHOD|GET
QUERY_STRING|q=1
SCRIPT_NAME|/vars.asp
URL|/vars.asp
PATH_INFO|/vars.asp
PATH_TRANSLATED|$winsite\\vars.asp
SERVER_NAME|127.0.0.1
SERVER_PORT|$host_port
SERVER_PROTOCOL|HTTP/1.1
REMOTE_ADDR|127.0.0.1
HTTP_USER_AGENT|tarnwick-test/1.0
HTTP_X_CUSTOM_PROBE|p1
HTTP_HOST|127.0.0.1:$host_port
EOF
    verdict "ServerVariables of a GET"
    fetch /vars.asp -d 'z=12'
    want_eq "REQUEST_METHOD" "POST" "$(body_value REQUEST_METHOD)"
    want_eq "CONTENT_TYPE" "application/x-www-form-urlencoded" "$(body_value CONTENT_TYPE)"
    want_eq "CONTENT_LENGTH" "4" "$(body_value CONTENT_LENGTH)"
    verdict "ServerVariables of a POST"

    fetch /cookies.asp -b "a=hello%20world; b=x+y; cn=%D6%D0%CE%C4"
    want_status 200
    want_eq "a" "[hello world]" "$(body_value a)"
    want_eq "b (a plus stays)" "[x+y]" "$(body_value b)"
    want_eq "cn" "[$gbk_zhongwen]" "$(body_value cn)"
    want_eq "an absent cookie" "Empty" "$(body_value missing)"
    verdict "Request.Cookies decodes %XX in the page's code page"
}

group_response() {
    start_host response --debug || return
    fetch "/response.asp?case=status"
    want_eq "status line" "HTTP/1.1 404 Not Found" "$(status_line)"
    want_body_is "custom missing page$nl"
    verdict "Response.Status = \"404 Not Found\" keeps the page's body"
    fetch "/response.asp?case=reason"
    want_eq "status line" "HTTP/1.1 202 Taken Into Account" "$(status_line)"
    verdict "Response.Status with a reason of the page's own"
    fetch "/response.asp?case=bad_status"
    want_status 500
    want_body_has "line 10"
    verdict "Response.Status that is no status line is a script error"

    fetch "/response.asp?case=headers"
    want_status 200
    want_header X-Page-One "one two"
    want_header X-Page-Two "2"
    verdict "Response.AddHeader"
    fetch "/response.asp?case=header_crlf"
    want_status 500
    want_body_has "line 16"
    [ -z "$(header_all Set-Cookie | grep injected)" ] || problem "the injected cookie went out"
    verdict "Response.AddHeader refuses a value with CR LF"

    fetch "/response.asp?case=redirect"
    want_status 302
    want_header Location "target.asp?x=1&y=2"
    want_body_lacks "AFTER-REDIRECT"
    verdict "Response.Redirect: 302, Location, and the page ends"
    fetch "/response.asp?case=redirect_crlf"
    want_status 500
    [ -z "$(header X-Injected)" ] || problem "the injected header went out"
    verdict "Response.Redirect refuses an address with CR LF"

    fetch "/response.asp?case=type"
    want_status 200
    want_header Content-Type "text/plain; charset=gb2312"
    want_body_is "type=text/plain;charset=gb2312$nl"
    verdict "Response.ContentType and Charset"
    fetch "/response.asp?case=clear"
    want_body_is "kept$nl"
    verdict "Response.Clear drops the output so far"
    fetch "/response.asp?case=buffer"
    want_body_is "buffer=-1;after-flush$nl"
    verdict "Response.Buffer reads back and Flush lets the page go on"
    fetch "/response.asp?case=expires"
    [[ "$(header Expires)" =~ ^(Mon|Tue|Wed|Thu|Fri|Sat|Sun),\ [0-9]{2}\ [A-Z][a-z]{2}\ [0-9]{4}\ [0-9]{2}:[0-9]{2}:[0-9]{2}\ GMT$ ]] ||
        problem "Expires: [$(header Expires)] is no HTTP date"
    verdict "Response.Expires writes an HTTP date"
    fetch "/response.asp?case=cache"
    want_eq "Cache-Control headers" "no-store" "$(header_all Cache-Control)"
    want_body_is "cache=no-store$nl"
    verdict "Response.CacheControl replaces the default"

    fetch "/cookies.asp?set=1" -b "cn=%D6%D0%CE%C4"
    want_status 200
    local cookies
    cookies=$(header_all Set-Cookie)
    grep -q -x -F "plain=a+b%3Bc%3Dd; path=/" <<<"$cookies" || problem "no 'plain=a+b%3Bc%3Dd; path=/' in [$(show "$cookies")]"
    grep -q -x -F "cn=%D6%D0%CE%C4; path=/" <<<"$cookies" || problem "no 'cn=%D6%D0%CE%C4; path=/' in [$(show "$cookies")]"
    verdict "Response.Cookies: the value URL-encoded (in the page's code page), path=/"
    grep -q -x -E "dated=x; expires=Wed, 15 Jan 2031 [0-9]{2}:00:00 GMT; domain=localhost; path=/sub" <<<"$cookies" ||
        problem "no dated cookie with expires, domain and path in [$(show "$cookies")]"
    grep -q -x -F "safe=1; path=/; secure" <<<"$cookies" || problem "no 'safe=1; path=/; secure' in [$(show "$cookies")]"
    verdict "Response.Cookies Expires, Path, Domain and Secure"
    grep -q -x -F "ticket=t; path=/; HttpOnly; SameSite=Lax" <<<"$cookies" ||
        problem "no 'ticket=t; path=/; HttpOnly; SameSite=Lax' in [$(show "$cookies")]"
    verdict "Response.Cookies HttpOnly and SameSite"
}

group_server() {
    start_host server --debug || return
    fetch /server.asp
    want_status 200
    want_eq "HTMLEncode" "&lt;a href=&quot;x&quot;&gt;&amp;&#39;" "$(body_value html)"
    verdict "Server.HTMLEncode"
    want_eq "URLEncode" "a+b%26c%2Fd%3De%3Ff%2Dg%5Fh%2Ei%7Ej%25k%2B9" "$(body_value url)"
    verdict "Server.URLEncode"
    want_eq "MapPath(\"/\")" "$winsite" "$(body_value root)"
    want_eq "MapPath(\"/static/pixel.png\")" "$winsite\\static\\pixel.png" "$(body_value abs)"
    want_eq "MapPath(\"notes.txt\")" "$winsite\\notes.txt" "$(body_value rel)"
    fetch /sub/page.asp
    want_eq "MapPath(\"x.txt\") in sub/" "$winsite\\sub\\x.txt" "$(body_value here)"
    want_eq "MapPath(\"../x.txt\") in sub/" "$winsite\\x.txt" "$(body_value up)"
    want_eq "SCRIPT_NAME" "/sub/page.asp" "$(body_value script)"
    verdict "Server.MapPath from the root and relative to the page's folder"
    fetch /mappath_escape.asp
    want_status 500
    want_body_has "line 3"
    want_body_lacks "ESCAPED"
    verdict "Server.MapPath above the site root is a script error"
    fetch /server.asp
    want_eq "ScriptTimeout" "123" "$(body_value timeout)"
    verdict "Server.ScriptTimeout reads back"
    # A created object without OnStartPage holds an open file (shared with
    # nobody); once the page ends and lets go of it, the file opens again.
    fetch "/server_release.asp?step=hold"
    want_eq "held" "open" "$(body_value held)"
    fetch "/server_release.asp?step=reopen"
    want_eq "reopened after the page" "1" "$(body_value reopened)"
    verdict "Server.CreateObject: an object without OnStartPage is released when the page ends"
}

group_state() {
    start_host state --debug || return
    local jarA=$work/jarA jarB=$work/jarB idA idB cookie
    rm -f "$jarA" "$jarB"
    fetch /session.asp -c "$jarA" -b "$jarA"
    want_status 200
    cookie=$(header_all Set-Cookie | grep '^TarnwickSessionID=')
    [[ "$cookie" =~ ^TarnwickSessionID=([0-9A-F]{32})\;\ path=/\;\ HttpOnly\;\ SameSite=Lax$ ]] || problem "session cookie [$(show "$cookie")]"
    idA=${BASH_REMATCH[1]:-none}
    want_body_is "count=1;id=$idA;$nl"
    verdict "a first page that stores a value sets the session cookie (HttpOnly, SameSite=Lax, 32 hex digits) with the page's SessionID"
    fetch /session.asp -c "$jarA" -b "$jarA"
    want_body_is "count=2;id=$idA;$nl"
    [ -z "$(header_all Set-Cookie | grep TarnwickSessionID)" ] || problem "the cookie was set again"
    verdict "the session keeps its values across requests"
    fetch /session.asp -c "$jarB" -b "$jarB"
    idB=$(tr -d '\r' <"$body" | sed -n 's/.*;id=\([0-9A-F]*\);.*/\1/p')
    want_eq "count of a second client" "count=1" "$(cut -d';' -f1 "$body")"
    [ -n "$idB" ] && [ "$idB" != "$idA" ] || problem "second client's id [$idB] vs first [$idA]"
    fetch /session.asp -c "$jarA" -b "$jarA"
    want_body_is "count=3;id=$idA;$nl"
    verdict "a client without the cookie gets a session of its own"

    fetch /abandon.asp -c "$jarA" -b "$jarA"
    want_body_is "before=3;after=3;$nl"
    header_all Set-Cookie | grep -q '^TarnwickSessionID=; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/' ||
        problem "the abandoned session's cookie is not cleared: [$(header_all Set-Cookie)]"
    verdict "Session.Abandon leaves the values readable until the page ends, and clears the cookie"
    fetch /session.asp -c "$jarA" -b "$jarA"
    cookie=$(header_all Set-Cookie | grep '^TarnwickSessionID=')
    [ -n "$cookie" ] || problem "no new session cookie"
    grep -q "^count=1;" "$body" || problem "body [$(show "$(cat "$body")")], expected count=1"
    want_body_lacks "id=$idA;"
    verdict "after Session.Abandon the next request gets a new session"

    fetch /session.asp -b "TarnwickSessionID=0123456789ABCDEF0123456789ABCDEF"
    cookie=$(header_all Set-Cookie | grep '^TarnwickSessionID=')
    [ -n "$cookie" ] || problem "no session cookie for an unknown id"
    want_body_lacks "0123456789ABCDEF0123456789ABCDEF"
    grep -q "^count=1;" "$body" || problem "body [$(show "$(cat "$body")")]"
    verdict "an unknown session id from a client is not adopted"
    fetch /basic.asp
    [ -z "$(header_all Set-Cookie | grep TarnwickSessionID)" ] || problem "a session cookie from a page that stores nothing"
    verdict "a page that stores no value starts no session"

    fetch /session_ops.asp
    want_body_is "count=3;c=3;b=two;keys=a,b,c,;removed=2,Empty;all=0;timeout=5;$nl"
    verdict "Session.Contents Count/For Each/Remove/RemoveAll, Session.Value, Session.Timeout"
    fetch /session_keys.asp
    want_body_is "${nl}count=5;values=22222;after=4;first=key1;$nl"
    verdict "Session keys that differ in case are one key, outside ASCII too; Contents.Remove takes a place"

    fetch "/application.asp?note=hello"
    want_body_is "hits=1;note=hello;$nl"
    fetch /application.asp
    want_body_is "hits=2;note=hello;$nl"
    verdict "Application values are shared by clients without a common session"
    # Pages answer in milliseconds: 10 s is long enough for any of them.
    local i pids=() codes="" answered=0
    for i in 1 2 3 4 5 6 7 8; do
        curl -s -m 10 -o /dev/null -w '%{http_code}' "$base/application.asp" >"$work/par$i" &
        pids+=($!)
    done
    wait "${pids[@]}"
    for i in 1 2 3 4 5 6 7 8; do
        codes+="$(cat "$work/par$i") "
        [ "$(cat "$work/par$i")" = 200 ] && answered=$((answered + 1))
    done
    want_eq "statuses of 8 requests at once" "200 200 200 200 200 200 200 200 " "$codes"
    verdict "8 requests at once are all answered"
    fetch /application.asp
    want_body_is "hits=$((3 + answered));note=hello;$nl"
    verdict "Application counter under Lock counts every page run ($answered at once)"
}

# The page objects' default members with arguments, spelled as pages write
# them (Session("a"), Session("a") = v, Application("a"), Request("a"),
# Request.QueryString/Form/Cookies("a"), Response.Cookies("a") = v), in a
# VBScript and a JScript page.
group_default_members() {
    start_host default-members --debug || return
    local jar=$work/jar-dm page lang expect_missing cookies
    for page in default_members default_members_js; do
        lang=VBScript
        expect_missing=Empty
        [ "$page" = default_members_js ] && lang=JScript expect_missing=undefined

        fetch "/$page.asp?case=request&a=1&b=query" -d 'b=form&f=2' -b 'c=3; f=cookie; a=cookie'
        want_status 200
        want_eq "a (query string before the cookies)" "[1][1]" "$(body_value a)"
        want_eq "b (query string before the form)" "[query][query][form]" "$(body_value b)"
        want_eq "f (form before the cookies)" "[2][2][2]" "$(body_value f)"
        want_eq "c (a cookie)" "[3][3][3]" "$(body_value c)"
        want_eq "REQUEST_METHOD (a server variable)" "[POST]" "$(body_value method)"
        want_eq "absent names" "$expect_missing,$expect_missing" "$(body_value missing)"
        want_eq "Request.Item and QueryString.Item" "[1][1]" "$(body_value item)"
        verdict "$lang: Request(\"x\") looks in the query string, the form, the cookies, the server variables; Request.QueryString/Form/Cookies(\"x\") beside it"

        fetch "/$page.asp?case=cookie&user=ann" -d 'v=a+b%26c' -b 'dm-in=%D6%D0%CE%C4'
        want_status 200
        want_eq "Request.Cookies(\"dm-in\")" "[$gbk_zhongwen]" "$(body_value cookie-in)"
        cookies=$(header_all Set-Cookie)
        grep -q -x -F "dm-user=ann; path=/" <<<"$cookies" || problem "no 'dm-user=ann; path=/' in [$(show "$cookies")]"
        grep -q -x -F "dm-form=a+b%26c; path=/" <<<"$cookies" || problem "no 'dm-form=a+b%26c; path=/' in [$(show "$cookies")]"
        verdict "$lang: Response.Cookies(\"x\") = Session(\"x\") and = Request.Form(\"x\") send the cookies"
    done

    # (The last line break of a body is the page's own, after its script.)
    rm -f "$jar"
    fetch "/default_members.asp?case=session&user=ann" -c "$jar" -b "$jar"
    want_status 200
    want_body_is "visits=1${nl}user=ann${nl}contents=ann${nl}value=ann${nl}missing=Empty$nl$nl"
    fetch "/default_members.asp?case=session" -c "$jar" -b "$jar"
    want_body_is "visits=2${nl}user=ann${nl}contents=ann${nl}value=ann${nl}missing=Empty$nl$nl"
    verdict "VBScript: Session(\"x\") = v stores and Session(\"x\") reads, on the page and on the next request"
    fetch "/default_members_js.asp?case=session" -c "$jar" -b "$jar"
    want_status 200
    want_body_is "visits=3${nl}user=ann${nl}contents=ann${nl}item=ann${nl}missing=undefined$nl$nl"
    fetch "/default_members_js.asp?case=session&user=bob" -c "$jar" -b "$jar"
    want_body_is "visits=4${nl}user=bob${nl}contents=bob${nl}item=bob${nl}missing=undefined$nl$nl"
    fetch "/default_members.asp?case=session" -c "$jar" -b "$jar"
    want_body_is "visits=5${nl}user=bob${nl}contents=bob${nl}value=bob${nl}missing=Empty$nl$nl"
    verdict "JScript: Session(\"x\") = v and Session(\"x\") share the session with the VBScript page"

    # Clients without a common session.
    fetch "/default_members.asp?case=application&note=hello"
    want_status 200
    want_body_is "hits=1${nl}note=hello${nl}contents=hello$nl$nl"
    fetch "/default_members.asp?case=application"
    want_body_is "hits=2${nl}note=hello${nl}contents=hello$nl$nl"
    verdict "VBScript: Application(\"x\") = v and Application(\"x\") are shared by clients"
    fetch "/default_members_js.asp?case=application"
    want_status 200
    want_body_is "hits=3${nl}note=hello${nl}contents=hello$nl$nl"
    fetch "/default_members_js.asp?case=application&note=js"
    want_body_is "hits=4${nl}note=js${nl}contents=js$nl$nl"
    fetch "/default_members.asp?case=application"
    want_body_is "hits=5${nl}note=js${nl}contents=js$nl$nl"
    verdict "JScript: Application(\"x\") = v and Application(\"x\") share the values with the VBScript page"
}

group_errors() {
    start_host errors --debug || return
    fetch /error.asp
    want_status 500
    want_body_has "Error in <b>/error.asp</b>, line 5"
    want_body_lacks "WRITTEN-BEFORE-ERROR"
    want_body_lacks "LITERAL-BEFORE-ERROR"
    want_log_has "page error: /error.asp line 5:"
    verdict "a runtime error: 500 with file and line (--debug), the output before it discarded, logged"
    header Set-Cookie | grep -q '^TarnwickSessionID=[0-9A-F]\{32\}; path=/; HttpOnly; SameSite=Lax$' ||
        problem "no session cookie on the 500 page: [$(header Set-Cookie)]"
    verdict "a failing page that stored a value still gives a new visitor the session cookie"
    fetch /basic.asp
    want_status 200
    want_body_has "branch-taken"
    verdict "the host serves the next request after a failing page"

    # A page that makes the script engine itself fault (under Wine) takes the
    # serving process down; the host starts it again.
    fetch /engine_crash.asp
    local i
    for ((i = 0; i < 40; i++)); do
        fetch /basic.asp
        [ "$status" = 200 ] && break
        sleep 0.25
    done
    want_status 200
    want_body_has "branch-taken"
    verdict "the host comes back after a page crashes its script engine"

    # A server that cannot be started again (its program is being replaced)
    # is tried again after the pause; the host does not end.
    local program=$prefix/drive_c/tarnwick/tarnwick-host-test.exe
    mv "$program" "$work/replaced.exe"
    fetch /engine_crash.asp
    for ((i = 0; i < 100; i++)); do
        grep -q 'cannot start the server process' "$host_log" && break
        sleep 0.2
    done
    want_log_has "cannot start the server process"
    sleep 1
    kill -0 "$host_pid" 2>/dev/null || problem "the host ended when the server could not start again"
    mv "$work/replaced.exe" "$program"
    for ((i = 0; i < 120; i++)); do
        fetch /basic.asp
        [ "$status" = 200 ] && break
        sleep 0.25
    done
    want_status 200
    verdict "a server that cannot start again is tried again later; the host stays"

    fetch /include_error.asp
    want_status 500
    want_body_has "Error in <b>/inc/bad.inc</b>, line 4"
    want_log_has "page error: /inc/bad.inc line 4:"
    verdict "an error in an include file names that file and its line"
    fetch /syntax_error.asp
    want_status 500
    want_body_has "Error in <b>/syntax_error.asp</b>, line 5"
    verdict "a syntax error names its line"
    fetch /jscript_error.asp
    want_status 500
    want_body_has "Error in <b>/jscript_error.asp</b>, line 5"
    want_body_lacks "JS-BEFORE-ERROR"
    verdict "an error on a JScript page names its line"
    fetch /createobject_error.asp
    want_status 500
    want_body_has "Error in <b>/createobject_error.asp</b>, line 3"
    want_body_lacks "CREATE-BEFORE-ERROR"
    verdict "Server.CreateObject of an unknown ProgID is a script error on its line"
    fetch /include_missing.asp
    want_status 500
    want_body_has "Error in <b>/include_missing.asp</b>, line 3"
    want_body_lacks "line one"
    verdict "a missing include file: 500 with the directive's line"
    fetch /include_escape.asp
    want_status 500
    want_body_lacks "$secret_marker"
    fetch /include_escape_virtual.asp
    want_status 500
    want_body_lacks "$secret_marker"
    verdict "an include file above the site root (file= and virtual=) is refused"
}

group_nodebug() {
    start_host nodebug --max-body 1K --max-form 512 || return
    fetch /error.asp
    want_status 500
    want_body_lacks "line 5"
    want_body_lacks "error.asp"
    want_body_lacks "WRITTEN-BEFORE-ERROR"
    want_log_has "page error: /error.asp line 5:"
    verdict "without --debug the error page is generic; the error is still logged"
    fetch /jscript_error.asp
    want_status 500
    want_body_lacks "line 5"
    fetch /basic.asp
    want_status 200
    verdict "without --debug the host serves the next request after failing pages"

    fetch /binary.asp -H 'Content-Type: application/octet-stream' --data-binary "@$data/body1024"
    want_status 200
    want_body_has "total=1024;"
    verdict "--max-body 1K accepts a body of 1024 bytes"
    fetch /binary.asp -H 'Content-Type: application/octet-stream' --data-binary "@$data/body1025"
    want_status 413
    fetch /static/notes.txt --data-binary "@$data/body1025"
    want_status 413
    verdict "--max-body 1K refuses 1025 bytes with 413 (page and static file)"
    fetch /form.asp -d "x=$(printf '%0510d' 0)"
    want_status 200
    want_body_has "method=POST"
    fetch /form.asp -d "x=$(printf '%0511d' 0)"
    want_status 413
    verdict "--max-form 512 takes a url-encoded body of 512 bytes and refuses 513 with 413"
}

group_static() {
    start_host static --debug || return
    local t ext type wrong=""
    for t in $types; do
        ext=${t%%:*}
        type=${t#*:}
        fetch "/types/f.$ext"
        [ "$status" = 200 ] && [ "$(header Content-Type)" = "$type" ] && cmp -s "$site/types/f.$ext" "$body" ||
            wrong+=" .$ext: $status [$(header Content-Type)]"
    done
    fetch /types/UPPER.TXT
    [ "$status" = 200 ] && [ "$(header Content-Type)" = "text/plain" ] || wrong+=" .TXT: $status [$(header Content-Type)]"
    [ -z "$wrong" ] || problem "wrong:$wrong"
    verdict "static files of each known type with their Content-Type (extension case ignored)"

    local size
    size=$(stat -c %s "$site/static/pixel.png")
    fetch /static/pixel.png
    want_status 200
    want_header Content-Type "image/png"
    want_header Content-Length "$size"
    want_body_file "$site/static/pixel.png"
    verdict "a binary static file comes byte for byte"
    local length path type
    for path in /static/pixel.png /basic.asp; do
        fetch "$path"
        size=$(stat -c %s "$body")
        type=$(header Content-Type)
        fetch "$path" -I
        want_status 200
        want_header Content-Type "$type"
        length=$(header Content-Length)
        [ -z "$length" ] || [ "$length" = "$size" ] || problem "Content-Length: $length, but GET sends $size bytes"
        raw_request "HEAD $path HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\nConnection: close\r\n\r\n'
        grep -q "^HTTP/1.1 200" "$raw" || problem "raw HEAD: no 200 answer in [$(show "$(head -c 200 "$raw")")]"
        [ "$(raw_body_bytes)" = 0 ] || problem "raw HEAD: $(raw_body_bytes) bytes after the head"
        verdict "HEAD of $path: GET's status and headers, no body"
    done

    fetch /static/notes.txt -X POST -d x=1
    want_status 405
    want_header Allow "GET, HEAD"
    fetch /static/notes.txt -X DELETE
    want_status 405
    verdict "a static file answers other methods than GET and HEAD with 405"
    fetch /basic.asp -X PUT -d x=1
    want_status 405
    want_header Allow "GET, HEAD, POST"
    fetch /basic.asp -X DELETE
    want_status 405
    verdict "a page answers other methods than GET, HEAD and POST with 405"

    local path marker
    while IFS='|' read -r path marker; do
        fetch "$path"
        want_status 404
        want_body_lacks "$marker"
    done <<'EOF'
/inc/nested.inc|<em>nested
/global.asa|APPLICATION-FILE-SOURCE
/static/data.mdb|DATABASE-FILE-BYTES
/static/README|NO-EXTENSION-FILE
EOF
    verdict "files of no served type (.inc, .asa, .mdb, no extension) are 404"
    fetch /missing.html
    want_status 404
    fetch /missing.asp
    want_status 404
    fetch /no-folder/x.txt
    want_status 404
    verdict "missing files and folders are 404"

    fetch /docs
    want_status 301
    want_header Location "/docs/"
    fetch "/docs?x=1"
    want_status 301
    want_header Location "/docs/?x=1"
    verdict "a folder without its trailing slash redirects (301) to it, keeping the query"
    fetch /docs/
    want_status 200
    want_body_is "DEFAULT-HTM-DOC
"
    fetch /sub/
    want_status 200
    want_body_is "SUB-INDEX-ASP
"
    verdict "a folder serves its default document in order (default.htm before index.html; index.asp run as a page)"
    fetch /noindex/
    want_status 403
    want_body_lacks "no default document in this folder"
    verdict "a folder without a default document is 403"
}

group_paths() {
    start_host paths --debug || return
    local url bad=""
    for url in '/../secret.txt' '/static/../../secret.txt' '/%2e%2e/secret.txt' '/%2E%2E/secret.txt' \
        '/%2e%2e%2fsecret.txt' '/static/..%2f..%2fsecret.txt' '/static/..%5c..%5csecret.txt' \
        '/static/..\..\secret.txt' '/..%5csecret.txt' '/static/%2e%2e/%2e%2e/secret.txt'; do
        fetch "$url"
        [ "$status" = 400 ] || bad+=" $url: $status;"
        grep -q -F "$secret_marker" "$body" && bad+=" $url: SECRET SERVED;"
    done
    [ -z "$bad" ] || problem "$bad"
    verdict "'..' in a URL (raw, %2e%2e, %2f, backslash, %5c) is refused with 400"
    fetch "/Z:$(printf '%s' "$work" | tr / '\\')\\secret.txt"
    want_status 400
    want_body_lacks "$secret_marker"
    fetch "/Z:$work/secret.txt"
    want_status 400
    want_body_lacks "$secret_marker"
    verdict "a drive-letter path is refused with 400"
    fetch '/static/..%255c..%255csecret.txt'
    want_status 404
    want_body_lacks "$secret_marker"
    verdict "double-encoded '..%5c' is a plain name (404), not a way out"
    bad=""
    for url in '/basic.asp.' '/basic.asp%20' '/basic.asp::$DATA' '/basic.asp%00' '/static/notes.txt%2e'; do
        fetch "$url"
        [ "$status" = 400 ] || bad+=" $url: $status;"
        grep -q -F "<%" "$body" && bad+=" $url: PAGE SOURCE SERVED;"
    done
    [ -z "$bad" ] || problem "$bad"
    verdict "names Windows would read as another file (trailing dot or space, ::\$DATA, NUL) are refused with 400"
    fetch /BASIC.ASP
    want_status 200
    want_body_has "branch-taken"
    want_body_lacks "<%"
    verdict "an upper-case .ASP runs as a page (its source is never sent)"
}

group_limits() {
    start_host limits --debug || return
    local q
    q=$(head -c $((8192 - 11)) /dev/zero | tr '\0' 'q')
    fetch "/basic.asp?$q"
    want_status 200
    verdict "a request target of 8192 bytes is served"
    fetch "/basic.asp?${q}q"
    want_status 414
    verdict "a request target of 8193 bytes is 414"
    local h
    h=$(head -c 15000 /dev/zero | tr '\0' 'h')
    fetch /basic.asp -H "X-Big-One: $h" -H "X-Big-Two: $h" -H "X-Big-Three: $h" -H "X-Big-Four: $h"
    want_status 200
    verdict "60000 bytes of headers in four lines are served"
    h=$(head -c 16384 /dev/zero | tr '\0' 'h')
    fetch /basic.asp -H "X-Big: $h"
    want_status 431
    verdict "one header line over 16 KiB is 431"
    h=$(head -c 35000 /dev/zero | tr '\0' 'h')
    fetch /basic.asp -H "X-Big-One: $h" -H "X-Big-Two: $h"
    want_status 431
    verdict "70000 bytes of headers in two lines are 431"
    h=$(head -c 70000 /dev/zero | tr '\0' 'h')
    fetch /basic.asp -H "X-Big: $h"
    want_status 431
    verdict "70000 bytes of headers in one line are 431"
    fetch /basic.asp -H 'Transfer-Encoding: chunked' -d 'x=1'
    want_status 411
    verdict "a chunked request body is 411"
    fetch /basic.asp -X POST -H 'Content-Length: 67108865'
    want_status 413
    verdict "a Content-Length over the default 64 MiB is 413 without waiting for the body"
    fetch /basic.asp -X POST -H 'Content-Length: twelve'
    want_status 400
    verdict "a Content-Length that is no number is 400"
    fetch "/binary.asp?mode=echo" -H 'Content-Type: application/octet-stream' --data-binary "@$data/huge.bin"
    want_status 200
    want_body_file "$data/huge.bin"
    verdict "a 24 MiB body read with BinaryRead comes back whole"
    fetch /basic.asp
    want_status 200
    verdict "the host still serves after the refused requests"
}

group_upload() {
    start_host upload --debug || return
    mkdir -p "$data/saved"
    local dir
    dir=$(urlencode "$windata\\saved")
    fetch "/upload.asp?dir=$dir" -F "title=$gbk_zhongwen" -F "file=@$data/small.bin;filename=C:\\docs\\small.bin"
    want_status 200
    want_eq "TotalCount" "2" "$(body_value count)"
    want_eq "Form(\"title\")" "$gbk_zhongwen" "$(body_value title)"
    want_eq "FormName" "title;name1=file" "$(body_value name0)"
    want_eq "IsFile file, title" "-1,0" "$(body_value isfile)"
    want_eq "FileSize" "100000" "$(body_value size)"
    want_eq "Form of the file field" 'C:\docs\small.bin' "$(body_value client)"
    verdict "Tarnwick.Upload on a page: fields, GBK text, IsFile, FileSize, the client's file name"
    if cmp -s "$data/small.bin" "$data/saved/small.bin"; then :; else problem "saved file differs or is missing: $(ls "$data/saved" | tr '\n' ' ')"; fi
    verdict "Tarnwick.Upload SaveFile writes the file's base name into TargetDir, byte for byte"
    fetch "/upload.asp?mode=data" -F "title=x" -F "file=@$data/small.bin"
    want_status 200
    want_body_file "$data/small.bin"
    verdict "Tarnwick.Upload GetFileData through BinaryWrite gives the file back"

    local size
    size=$(stat -c %s "$data/large.bin")
    fetch "/upload.asp?dir=$dir" -F "title=big" -F "file=@$data/large.bin"
    want_status 200
    want_eq "FileSize" "$size" "$(body_value size)"
    cmp -s "$data/large.bin" "$data/saved/large.bin" || problem "the saved file differs or is missing"
    verdict "a file of 6 MiB: FileSize and SaveFile"
    fetch "/upload.asp?mode=data" -F "file=@$data/large.bin"
    want_status 200
    want_body_file "$data/large.bin"
    verdict "a file of 6 MiB through GetFileData and BinaryWrite"
}

# The Server API taking connections itself, as on Windows (under Wine only
# bodies that arrive in one piece get through, so these stay small).
group_direct() {
    start_host direct --debug --direct --max-body 80K || return
    fetch /form.asp -d 'x=1&cn=%D6%D0&x=2'
    want_status 200
    want_eq "x" "[1, 2]" "$(body_value x)"
    want_eq "cnlen" "1" "$(body_value cnlen)"
    want_eq "count" "2" "$(body_value count)"
    verdict "--direct: a url-encoded post"
    head -c 60000 "$data/small.bin" > "$data/direct.bin"
    fetch "/upload.asp?mode=data" -F "title=x" -F "file=@$data/direct.bin"
    want_status 200
    want_body_file "$data/direct.bin"
    verdict "--direct: an upload through Tarnwick.Upload, byte for byte"
    head -c 90000 /dev/zero > "$data/over.bin"
    # Wine's Server API now and then drops a body that reaches it in more than
    # one piece, with no answer at all (000): that is Wine's, so ask again.
    local try
    for try in 1 2 3; do
        fetch /form.asp --data-binary "@$data/over.bin"
        [ "$status" = "000" ] || break
        sleep 1
    done
    want_status 413
    verdict "--direct: a body over --max-body is 413"
}

group_mail() {
    start_host mail --debug || return
    local store
    store=$(urlencode "$windata\\mail\\")
    fetch "/mail.asp?op=list&store=$store&user=ann"
    want_status 200
    want_body_is "count=1;files=photo.png||;"
    verdict "Tarnwick.Mail on a page reads the mail store"
    fetch "/mail.asp?store=$store&user=ann&name=PHOTO.png"
    want_status 200
    want_header Content-Type "image/png"
    want_body_file "$data/attachment.bin"
    verdict "Tarnwick.Mail GetFile streams the attachment byte for byte with its type"
    fetch "/mail.asp?store=$store&user=ann&name=other.png"
    want_status 200
    want_body_is "no such attachment"
    verdict "Tarnwick.Mail GetFile of a missing name writes nothing"
}

group_endurance() {
    start_host endurance || return
    local i first=""
    for ((i = 1; i <= 100; i++)); do
        if ((i % 2)); then fetch /static/notes.txt; else fetch /basic.asp; fi
        if [ "$status" != 200 ]; then
            first="request $i answered $status"
            break
        fi
    done
    [ -z "$first" ] || problem "$first"
    verdict "one host serves 100 requests in a row"

    # curl asks for the second and third URL on the connection of the first.
    local out
    out=$(curl -s -m 20 -w '%{http_code} %{num_connects};' -o "$work/k1" -o "$work/k2" -o "$work/k3" \
        "$base/static/notes.txt" "$base/basic.asp" "$base/response.asp?case=clear")
    want_eq "statuses and connections opened" "200 1;200 0;200 0;" "$out"
    cmp -s "$site/static/notes.txt" "$work/k1" || problem "first body [$(show "$(cat "$work/k1")")]"
    grep -q "branch-taken" "$work/k2" || problem "second body [$(show "$(cat "$work/k2")")]"
    [ "$(cat "$work/k3")" = "kept" ] || problem "third body [$(show "$(cat "$work/k3")")]"
    verdict "three requests on one kept-alive connection"
}

# Clients that attack the host rather than use it: requests built to kill
# Wine's HTTP service or to be read two ways, connections held open, bodies
# that fill memory, and the serving process killed from outside. The first
# host has a short head deadline (the default is 15 s), the second probes
# its server every second and gives the Server API 1.5 s, so that a hung
# server is noticed quickly.

# The internal port of the Server API, from the host's log ("" when absent).
internal_port() { sed -n 's/.*on internal port \([0-9]*\).*/\1/p' "$host_log" | tail -1; }

# The status line of $raw ("" when nothing came).
raw_status() { head -1 "$raw" | tr -d '\r'; }

# The serving process of the running host (its supervisor's child).
worker_pid() {
    ps -eo pid=,args= | grep -F -- "--port $host_port " | grep -F -- "--serving-process" | grep -v grep |
        awk '{print $1}' | head -1
}

# The process that runs Wine's HTTP service (http.sys) in this run's prefix.
http_service_pid() {
    local p
    for p in $(pgrep -x winedevice.exe); do
        if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -q -x -F "WINEPREFIX=$prefix" &&
            grep -q 'http\.sys' "/proc/$p/maps" 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
}

# Waits up to <seconds> for /basic.asp to answer 200.
wait_served() {
    local i
    for ((i = 0; i < $1 * 4; i++)); do
        fetch /basic.asp -m 3
        [ "$status" = 200 ] && return 0
        sleep 0.25
    done
    return 1
}

group_hostile() {
    TARNWICK_HOST_HEAD_DEADLINE_MS=3000 start_host hostile --debug || return
    local ip
    ip=$(internal_port)
    if [ -z "$ip" ]; then
        problem "no internal port in the host's log"
    else
        fetch /basic.asp --connect-to "::127.0.0.1:$ip" -H "Host: 127.0.0.1:$ip"
        want_status 403
        want_body_lacks "branch-taken"
        fetch /binary.asp --connect-to "::127.0.0.1:$ip" -H "Host: 127.0.0.1:$ip" \
            -H "X-Tarnwick-Relay: 0123456789ABCDEF0123456789ABCDEF" --data-binary "@$data/ten.txt"
        want_status 403
        want_body_lacks "total="
    fi
    fetch /basic.asp
    want_status 200
    verdict "the internal port of the Server API serves only the relay: a request straight to it is 403"

    # Each of these reads one way here and another way in some proxy: the
    # rest of the body would run as a second request.
    local rule head answers
    local post="POST /form.asp HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\n'
    local smuggled="GET /basic.asp HTTP/1.1"$'\r\n'"Host: x"$'\r\n\r\n'
    while IFS='|' read -r rule head; do
        head=${head//'\r'/$'\r'}
        head=${head//'\n'/$'\n'}
        raw_request "$post$head"$'\r\n'"x=1&$smuggled"
        want_eq "answer" "HTTP/1.1 400 Bad Request" "$(raw_status)"
        answers=$(grep -a -c '^HTTP/1' "$raw")
        [ "$answers" = 1 ] || problem "$answers answers on the connection"
        verdict "$rule is 400"
    done <<'RULES'
two different Content-Length values|Content-Length: 4\r\nContent-Length: 47\r\n
a blank before the colon of Content-Length|Content-Length : 4\r\n
a Content-Length with a sign|Content-Length: +4\r\n
a folded header line|X-Folded: a\r\n Content-Length: 4\r\n
RULES
    # A request target that is no path is answered by the relay at once: the
    # Server API would leave it unanswered, holding up every visitor.
    local line status
    while IFS='|' read -r rule line status; do
        raw_request "$line HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\nConnection: close\r\n\r\n'
        want_eq "answer" "$status" "$(raw_status)"
        case "$line" in CONNECT* | OPTIONS*) grep -aq $'^Allow: GET, HEAD, POST, OPTIONS\r$' "$raw" || problem "no Allow header";; esac
        verdict "$rule"
    done <<'TARGETS'
an absolute URL as the target is 400|GET http://x/|HTTP/1.1 400 Bad Request
a path without its leading slash is 400|GET style.css|HTTP/1.1 400 Bad Request
CONNECT is 405, with Allow|CONNECT 127.0.0.1:22|HTTP/1.1 405 Method Not Allowed
OPTIONS * is 200, with Allow|OPTIONS *|HTTP/1.1 200 OK
TARGETS
    fetch /basic.asp
    want_status 200
    verdict "after them the site serves at once"

    # Header values the Server API cannot take as they come: an empty one
    # (it misread "Name: " for good) and bytes outside ASCII (it refused).
    fetch /headers.asp -H 'X-Empty;' -H $'X-Name: \xc3\xa9'
    want_status 200
    want_body_is "empty=1;name=1;cookies=,0;$nl"
    fetch /headers.asp -H 'Cookie: a=1' -H $'Cookie: u=caf\xc3\xa9'
    want_body_is "empty=0;name=0;cookies=1,4;$nl"
    fetch /basic.asp
    want_status 200
    verdict "an empty header value, one with bytes outside ASCII and two Cookie lines reach the page, and the site serves on"

    # 204 and 304 never carry a body, whatever the page wrote.
    local code
    for code in "204 No Content" "304 Not Modified"; do
        raw_request "GET /headers.asp?status=${code// /+} HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\nConnection: close\r\n\r\n'
        want_eq "answer" "HTTP/1.1 $code" "$(raw_status)"
        want_eq "bytes after the head" 0 "$(raw_body_bytes)"
    done
    verdict "a 204 or 304 page's body is not sent"

    raw_request "GET /basic.asp HTTP/1.1"$'\n'"Host: 127.0.0.1:$host_port"$'\n'"Connection: close"$'\n\n'
    want_eq "answer" "HTTP/1.1 400 Bad Request" "$(raw_status)"
    raw_request "GET /basic.asp HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\n\r\n'
    want_eq "answer to one bare LF" "HTTP/1.1 400 Bad Request" "$(raw_status)"
    verdict "bare LF line ends are 400"

    fetch //docs
    want_status 301
    want_header Location "/docs/"
    fetch "/%2Fdocs?x=1"
    want_header Location "/docs/?x=1"
    fetch /./docs
    want_header Location "/docs/"
    verdict "a folder's redirect names it with one leading '/' (//docs is not the host 'docs')"

    # A client that sends its head a byte at a time keeps the idle limit
    # from running out; the head's deadline (3 s here) still ends it.
    local t0 t1
    : >"$raw"
    t0=$(date +%s%N)
    timeout 12 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1
        cat <&3 >"$2" &
        printf "GET /basic.asp HTTP/1.1\r\nHost: x\r\nX-Slow: " >&3
        for ((i = 0; i < 40; i++)); do
            sleep 0.25
            [ -s "$2" ] && break
            printf a >&3 2>/dev/null || break
        done' _ "$host_port" "$raw" 2>/dev/null
    t1=$(date +%s%N)
    want_eq "answer to a trickled head" "HTTP/1.1 408 Request Timeout" "$(raw_status)"
    (((t1 - t0) / 1000000 < 7000)) || problem "the connection lasted $(((t1 - t0) / 1000000)) ms"
    verdict "a head trickled a byte at a time ends at the head's deadline (408)"

    # 16 connections of 127.0.0.1 that send nothing fill its share: the next
    # one is refused, another address is still served, and once they close
    # 127.0.0.1 is served again.
    local holder
    bash -c 'for ((i = 0; i < 16; i++)); do exec {fd}<>"/dev/tcp/127.0.0.1/$1" || exit 1; done; sleep 2.5' \
        _ "$host_port" &
    holder=$!
    sleep 0.5
    fetch /basic.asp -m 2
    [ "$status" = 503 ] || [ "$status" = 000 ] || problem "a 17th connection of 127.0.0.1 was answered $status"
    fetch /basic.asp -m 2 --interface 127.0.0.2
    [ "$status" = 200 ] || problem "127.0.0.2 was answered $status while 127.0.0.1 was at its cap"
    wait "$holder"
    sleep 0.3
    fetch /basic.asp
    want_status 200
    verdict "one client address gets 16 connections at once; others are still served"

    # Two bodies of 20 MiB at once do not both fit the relay's 32 MiB of
    # memory: one waits in a temporary file, and both arrive whole.
    head -c $((20 * 1024 * 1024)) /dev/urandom >"$data/twenty.bin"
    local n k spooled senders=()
    for k in 1 2; do
        timeout 60 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1
            printf "POST /binary.asp?mode=echo HTTP/1.1\r\nHost: x\r\nContent-Type: application/octet-stream\r\nContent-Length: %s\r\nConnection: close\r\n\r\n" "$(stat -c %s "$2")" >&3
            head -c $((18 * 1024 * 1024)) "$2" >&3
            sleep 3
            tail -c +$((18 * 1024 * 1024 + 1)) "$2" >&3
            cat <&3 >"$3"' _ "$host_port" "$data/twenty.bin" "$work/echo$k" &
        senders+=($!)
    done
    spooled=0
    for ((n = 0; n < 20 && spooled == 0; n++)); do
        sleep 0.1
        spooled=$(find "$prefix/drive_c/users" -name 'twb*.tmp' -size +17M 2>/dev/null | wc -l)
    done
    [ "$spooled" -ge 1 ] || problem "no body waits in a temporary file (twb*.tmp) while both arrive"
    wait "${senders[@]}"
    for k in 1 2; do
        tail -c $((20 * 1024 * 1024)) "$work/echo$k" | cmp -s - "$data/twenty.bin" ||
            problem "body $k came back differently ($(head -1 "$work/echo$k" | tr -d '\r'), $(stat -c %s "$work/echo$k") bytes)"
    done
    [ -z "$(find "$prefix/drive_c/users" -name 'twb*.tmp' 2>/dev/null)" ] || problem "a temporary file stayed"
    verdict "bodies over the relay's memory share wait in a temporary file and arrive whole"

    # One address holding all its 16 connections (the supervisor's probe
    # comes from that address too), and two more that send nothing, again
    # and again, are no reason to restart the server.
    TARNWICK_HOST_PROBE_INTERVAL_MS=500 start_host hostile-probe || return
    sleep 1
    bash -c 'for i in $(seq 16); do exec {fd}<>"/dev/tcp/127.0.0.1/$1" || exit 1; done
             for r in 1 2 3 4 5; do
                 exec {a}<>"/dev/tcp/127.0.0.1/$1" {b}<>"/dev/tcp/127.0.0.1/$1"; sleep 0.9; exec {a}>&- {b}>&-
             done' _ "$host_port" &
    local holder=$!
    sleep 1
    fetch /basic.asp
    want_status 503
    wait "$holder"
    fetch /basic.asp
    want_status 200
    grep -q 'does not answer' "$host_log" && problem "the supervisor ended the server"
    verdict "the supervisor's probe gets through while one address holds all its connections"

    TARNWICK_HOST_PROBE_INTERVAL_MS=1000 TARNWICK_HOST_API_LIMIT_MS=1500 start_host hostile-restart --debug || return
    # Wine's HTTP service can hang for good (a few thousand header lines
    # straight to the internal port do it, though not every time): stopping
    # its process does the same every time. The relay answers 503 within its
    # time limit, and the supervisor starts the server and the service again.
    local service
    service=$(http_service_pid)
    if [ -z "$service" ]; then
        problem "no process of Wine's HTTP service found"
    else
        kill -STOP "$service"
    fi
    t0=$(date +%s%N)
    fetch /basic.asp -m 10
    t1=$(date +%s%N)
    want_status 503
    (((t1 - t0) / 1000000 < 5000)) || problem "the answer took $(((t1 - t0) / 1000000)) ms"
    verdict "while Wine's HTTP service hangs the relay answers 503 within its time limit"
    wait_served 40 || problem "the site did not come back within 40 s"
    [ -z "$service" ] || kill -CONT "$service" 2>/dev/null
    want_log_has "the server does not answer"
    verdict "the supervisor notices a server that does not answer and starts it (and Wine's HTTP service) again"

    local pid
    for k in 1 2; do
        pid=$(worker_pid)
        if [ -z "$pid" ]; then
            problem "no serving process found"
            break
        fi
        kill -KILL "$pid"
        sleep 0.3
        wait_served 30 || problem "the site did not come back within 30 s after kill $k"
    done
    local pauses
    pauses=$(sed -n 's/.*starting it again in \([0-9]*\) ms.*/\1/p' "$host_log" | tail -2 | tr '\n' ' ')
    [[ "$pauses" =~ ^([0-9]+)\ ([0-9]+)\ $ ]] && ((BASH_REMATCH[2] > BASH_REMATCH[1])) ||
        problem "the pauses before the last two starts do not grow: [$pauses]"
    verdict "a server killed from outside is started again, after a growing pause"

    # Last: before the relay refused it, such a request could hang the site.
    local many="" i
    for ((i = 1; i <= 3000; i++)); do many+="X-H$i: v"$'\r\n'; done
    raw_request "GET /basic.asp HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\n'"$many"$'\r\n'
    want_eq "answer to 3000 header lines" "HTTP/1.1 431 Request Header Fields Too Large" "$(raw_status)"
    fetch /basic.asp
    want_status 200
    verdict "3000 short header lines are 431 at once, and the site still serves"
    many=""
    for ((i = 1; i <= 98; i++)); do many+="X-H$i: v"$'\r\n'; done
    raw_request "GET /basic.asp HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\n'"${many}Connection: close"$'\r\n\r\n'
    want_eq "100 header lines" "HTTP/1.1 200 OK" "$(raw_status)"
    raw_request "GET /basic.asp HTTP/1.1"$'\r\n'"Host: 127.0.0.1:$host_port"$'\r\n'"${many}X-One-More: v"$'\r\n'"Connection: close"$'\r\n\r\n'
    want_eq "101 header lines" "HTTP/1.1 431 Request Header Fields Too Large" "$(raw_status)"
    verdict "100 header lines are served, 101 are 431"
}

# A request the Server API never answers (made here by letting a target that
# is not a path through, as before the relay refused them) holds up no other
# visitor, and ends in 503 at the exchange's time limit.
group_hung_exchange() {
    TARNWICK_HOST_TEST_PASS_ANY_TARGET=1 TARNWICK_HOST_API_LIMIT_MS=3000 start_host hung || return
    local hung=$work/hung ms started
    started=$(date +%s%N)
    timeout 10 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1; printf "%s" "$2" >&3; cat <&3' \
        _ "$host_port" "GET http://x/ HTTP/1.1"$'\r\n'"Host: x"$'\r\nConnection: close\r\n\r\n' >"$hung" 2>/dev/null &
    local hung_pid=$!
    sleep 0.5
    ms=$(curl -s -o /dev/null -m 30 -w '%{time_total}' "$base/static/notes.txt" | awk '{printf "%d", $1 * 1000}')
    [ "${ms:-99999}" -lt 1000 ] || problem "a static file took $ms ms beside the hung exchange"
    fetch /basic.asp
    want_status 200
    wait "$hung_pid"
    want_eq "the hung exchange's answer" "HTTP/1.1 503 Service Unavailable" "$(head -1 "$hung" | tr -d '\r')"
    ms=$((($(date +%s%N) - started) / 1000000))
    [ "$ms" -lt 4500 ] || problem "the 503 came after $ms ms, not at the 3000 ms limit"
    verdict "a request the Server API never answers delays another visitor's static file by less than a second"

    # The same while a slow page of another visitor runs (the relay then
    # gives a hand-over longer, the machine being busy).
    local slow=$work/slow slow_pid
    curl -s -o "$slow" -m 30 "$base/pool/busy.asp?ms=4000" &
    slow_pid=$!
    sleep 1
    timeout 10 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1; printf "%s" "$2" >&3; cat <&3' \
        _ "$host_port" "GET http://x/ HTTP/1.1"$'\r\n'"Host: x"$'\r\nConnection: close\r\n\r\n' >"$hung" 2>/dev/null &
    hung_pid=$!
    sleep 0.2
    ms=$(curl -s -o /dev/null -m 30 -w '%{time_total}' "$base/static/notes.txt" | awk '{printf "%d", $1 * 1000}')
    [ "${ms:-99999}" -lt 1000 ] || problem "a static file took $ms ms beside the hung exchange and the slow page"
    wait "$hung_pid" "$slow_pid"
    want_eq "the slow page" "busy=4000;" "$(cat "$slow")"
    want_eq "the hung exchange's answer" "HTTP/1.1 503 Service Unavailable" "$(head -1 "$hung" | tr -d '\r')"
    verdict "also while another visitor's page runs, a hung exchange delays a static file by less than a second (${ms:-?} ms)"
}

# Fetches a page with the cookie jar $jar while three other visitors' busy
# pages take three of the four page threads: the page then mostly runs on
# another thread than the session's last request.
fetch_beside_busy_pages() {  # <path>
    local pids=() j
    for j in 1 2 3; do
        curl -s -o /dev/null -m 20 "$base/pool/busy.asp?ms=300" &
        pids+=($!)
    done
    fetch "$1" -c "$jar" -b "$jar"
    wait "${pids[@]}"
}

# Another page writes Application under Lock at once: no lock is left held.
want_application_writable() {
    local ms
    ms=$(curl -s -o "$body" -m 20 -w '%{time_total}' "$base/pool/write.asp" | awk '{printf "%d", $1 * 1000}')
    want_body_is "kept=written;$nl"
    [ "${ms:-99999}" -lt 5000 ] || problem "the write waited $ms ms"
}

# Pages run on a pool of page threads: one session's requests one at a
# time in arrival order, other visitors beside them; Application.Lock is a
# real lock; objects kept in Session work on the next requests' threads.
group_pool() {
    start_host pool --debug --threads 4 || return
    local i pids=() ms jar=$work/jar-pool

    # Two visitors without a common session, each page busy for 1 s.
    fetch /pool/busy.asp?ms=1000
    local started=$(date +%s%N)
    curl -s -o "$work/busy1" -m 20 "$base/pool/busy.asp?ms=1000" &
    pids=($!)
    curl -s -o "$work/busy2" -m 20 "$base/pool/busy.asp?ms=1000" &
    pids+=($!)
    wait "${pids[@]}"
    ms=$((($(date +%s%N) - started) / 1000000))
    pids=()
    want_eq "first page" "busy=1000;" "$(cat "$work/busy1")"
    want_eq "second page" "busy=1000;" "$(cat "$work/busy2")"
    [ "${ms:-99999}" -lt 1700 ] || problem "two 1-second pages of two visitors took $ms ms together"
    verdict "pages of two visitors run side by side (two 1 s pages in ${ms:-?} ms)"

    # Four requests of one session, sent 100 ms apart while each runs 300 ms.
    rm -f "$jar"
    fetch /session.asp -c "$jar" -b "$jar"
    for i in 1 2 3 4; do
        curl -s -m 20 -b "$jar" -o "$work/order$i" "$base/pool/order.asp?n=$i" &
        pids+=($!)
        sleep 0.1
    done
    wait "${pids[@]}"
    want_eq "the session's log after the last request" "log=[1 1][2 2][3 3][4 4];" "$(cat "$work/order4")"
    verdict "requests of one session never overlap and run in the order they arrived"

    # Two visitors add to one Application counter under Lock, at once.
    pids=()
    for i in 1 2; do
        curl -s -m 60 -o "$work/count$i" "$base/pool/count.asp?n=300" &
        pids+=($!)
    done
    wait "${pids[@]}"
    fetch /pool/count.asp?n=0
    want_body_is "counter=600;$nl"
    verdict "Application.Lock: two pages adding 300 each at once lose no increment"

    fetch /pool/lock_kept.asp
    want_body_is "kept=locked;$nl"
    want_application_writable
    verdict "a page that locks Application and does not unlock it lets go when it ends"

    rm -f "$jar"
    fetch "/pool/keep.asp?step=1" -c "$jar" -b "$jar"
    want_body_is "stored;$nl"
    # Each later request runs beside three busy pages of other visitors, so
    # that the four page threads take one each: mostly not the first one.
    for i in 2 3 4 5; do
        fetch_beside_busy_pages "/pool/keep.asp?step=$i"
        want_body_is "count=$i;first=one;encode=YWJj;$nl"
    done
    verdict "a Scripting.Dictionary and a Tarnwick.Mail kept in Session work on later requests, on other page threads"

    rm -f "$jar"
    fetch "/pool/app_kept.asp?step=1" -c "$jar" -b "$jar"
    want_body_is "stored;$nl"
    local ended="This Application object belongs to a page that has ended: use the page's own Application."
    for i in 2 3; do
        fetch_beside_busy_pages "/pool/app_kept.asp?step=$i"
        want_body_is "lock=$ended;write=$ended;kept=through the page's own;$nl"
    done
    want_application_writable
    verdict "the Application object of an ended page, kept in Session, only reads: no lock outlives a page, no write waits for its own page"

    # Steady load: rounds of ten requests at once, each answered, and the
    # server never restarted for not answering (Wine's HTTP service left
    # requests unseen for good under such load, within a few hundred).
    local round j answers=$work/steady
    : >"$answers"
    for round in $(seq 50); do
        pids=()
        for j in $(seq 10); do
            curl -s -o /dev/null -m 10 -w '%{http_code}\n' "$base/pool/busy.asp?ms=0" >>"$answers" &
            pids+=($!)
        done
        wait "${pids[@]}"
    done
    want_eq "answers 200 of 500" 500 "$(grep -c '^200$' "$answers")"
    grep -q 'does not answer' "$host_log" && problem "the supervisor found the server not answering"
    verdict "500 requests in rounds of ten at once are all answered, without a restart"

    # The relay's idle connections to the Server API, which Wine's HTTP
    # service reads at every wake, are closed after a second unused.
    sleep 1.5
    fetch /pool/busy.asp?ms=0
    local inner
    inner=$(ss -Htn state established "( dport = :$(internal_port) )" | wc -l)
    [ "$inner" -le 2 ] || problem "$inner connections to the Server API after a quiet second (ten were in use)"
    verdict "connections to the Server API unused for a second are closed"

    # A visitor who leaves while the page still waits for a page thread.
    fetch /pool/ran.asp
    want_body_is "ran=1;$nl"
    pids=()
    for j in 1 2 3 4; do
        curl -s -o /dev/null -m 20 "$base/pool/busy.asp?ms=2000" &
        pids+=($!)
    done
    sleep 0.3
    curl -s -o /dev/null -m 0.5 "$base/pool/ran.asp"
    wait "${pids[@]}"
    sleep 0.5
    fetch /pool/ran.asp
    want_body_is "ran=2;$nl"
    verdict "a page whose visitor left while it waited for a page thread does not run"

    fetch /pool/app_object.asp
    want_status 200
    want_body_has "description=Disallowed object use"
    want_body_has "stored=0;"
    verdict "Application refuses an apartment-threaded object"
}

# A wrong command line prints the usage, which names every option.
group_usage() {
    local text option
    text=$(timeout 60 "${wine_env[@]}" wine "$winexe" --no-such-option 2>&1 >/dev/null)
    want_eq "exit status of a wrong command line" 2 "$?"
    for option in --site --port --bind --max-body --max-form --threads --debug --direct; do
        [[ "$text" == *"[$option"* || "$text" == *"$option DIR"* ]] || problem "the usage line lacks $option"
        [[ "$text" == *"  $option "* ]] || problem "the usage does not describe $option"
    done
    verdict "the usage names and describes every option"
}

# TARNWICK_HOST_GROUPS="pool hostile" runs only those groups.
run_group() {
    [ -z "${TARNWICK_HOST_GROUPS:-}" ] || [[ " $TARNWICK_HOST_GROUPS " == *" $1 "* ]] || return 0
    "group_$1"
}

start_seconds=$SECONDS
for group in usage pages request response server state default_members errors nodebug static paths limits upload direct mail endurance hostile hung_exchange pool; do
    run_group "$group"
done
stop_host

echo "($host_starts host starts, $((SECONDS - start_seconds)) s of checks)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
