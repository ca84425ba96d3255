#!/usr/bin/env bash
# Times `tarnwick-mail extract` of a 7.3 MiB attachment from a 10 MiB message,
# the whole process, writing the attachment to a file (Release build of
# ./run.sh bench), next to a plain cat of the message to a file and, when
# GMime 3 is installed (libgmime-3.0-dev), the same job done with GMime
# (bench/gmime-extract.c): 50 runs each, after 5.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tool=build/bench/tarnwick-mail
[ -x "$tool" ] || ./run.sh bench --benchmark_filter=NONE >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 7654604 /dev/urandom >"$work/beach.jpg"
{
    printf 'From: Ann <ann@example.com>\r\nTo: bob@example.com\r\nSubject: The photographs\r\n'
    printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b0012"\r\n\r\n'
    printf -- '--b0012\r\nContent-Type: text/plain\r\n\r\nThe photographs are attached.\r\n'
    printf -- '--b0012\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n'
    printf 'Content-Disposition: attachment; filename="beach.jpg"\r\n\r\n'
    base64 -w 72 "$work/beach.jpg" | sed 's/$/\r/'
    printf -- '--b0012--\r\n'
} >"$work/large.eml"
"$tool" extract -o "$work/out.jpg" "$work/large.eml" beach.jpg
cmp "$work/beach.jpg" "$work/out.jpg"
echo "message $(stat -c %s "$work/large.eml") bytes, attachment $(stat -c %s "$work/beach.jpg") bytes"
# The per-run time of a command, over 50 runs after 5 (milliseconds).
per_run() {
    local i start
    for i in 1 2 3 4 5; do "$@"; done
    start=$(date +%s%N)
    for i in $(seq 50); do "$@"; done
    awk -v ns=$(($(date +%s%N) - start)) 'BEGIN {printf "%.1f", ns / 50 / 1e6}'
}
extract() { "$tool" extract -o "$work/out.jpg" "$work/large.eml" beach.jpg; }
copy() { cat "$work/large.eml" >"$work/copy.eml"; }
echo "tarnwick-mail extract: $(per_run extract) ms a run; cat of the message: $(per_run copy) ms a run"
if pkg-config --exists gmime-3.0 2>/dev/null; then
    # shellcheck disable=SC2046
    cc -O2 -o "$work/gmime-extract" bench/gmime-extract.c $(pkg-config --cflags --libs gmime-3.0)
    "$work/gmime-extract" "$work/large.eml" beach.jpg "$work/gmime.jpg"
    cmp "$work/beach.jpg" "$work/gmime.jpg"
    gmime() { "$work/gmime-extract" "$work/large.eml" beach.jpg "$work/gmime.jpg"; }
    echo "GMime: $(per_run gmime) ms a run"
else
    echo "GMime: not installed (apt-get install libgmime-3.0-dev to time it too)"
fi
