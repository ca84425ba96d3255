#!/usr/bin/env bash
# Times `tarnwick-mail extract` of a 7.3 MiB attachment from a 10 MiB message,
# the whole process, writing the attachment to a file (Release build of
# ./run.sh bench). Uses hyperfine when it is installed, else 50 runs of time.
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
if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 5 --runs 100 "$tool extract -o $work/out.jpg $work/large.eml beach.jpg"
else
    time (for i in $(seq 50); do "$tool" extract -o "$work/out.jpg" "$work/large.eml" beach.jpg; done)
fi
