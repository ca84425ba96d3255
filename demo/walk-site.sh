#!/usr/bin/env bash
# Walks the running web-mail demo once with curl, as a visitor would:
# sign in (a new session id), inbox, a Chinese message, an attachment
# download, sending a message with an attachment to a local user, HZ
# conversion, About, sign out.
#
#   demo/walk-site.sh BASE_URL STORE_DIR
# Prints "ok ..." / "not ok ..." per step; the exit status is 1 if any failed.
set -uo pipefail
# Pages are UTF-8: match bytes, not characters of the shell's locale.
export LC_ALL=C
base=$1
store=$2
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jar="$work/cookies"
failures=0

check() {   # name, condition command...
    local name=$1; shift
    if "$@"; then echo "ok $name"; else echo "not ok $name"; failures=$((failures + 1)); fi
}
get() { curl -s -b "$jar" -c "$jar" "$base/$1"; }
has() { grep -aqF -- "$2" "$1"; }
not_has() { ! grep -aqF -- "$2" "$1"; }

# Every form that changes something carries the session's token.
token_of() { sed -n 's/.*name="token" value="\([^"]*\)".*/\1/p' "$1" | head -1; }
session_id() { awk '$6 == "TarnwickSessionID" { print $7 }' "$jar"; }

curl -s -D "$work/anon.headers" -o /dev/null "$base/inbox.asp"
check "a page that stores nothing starts no session" not_has "$work/anon.headers" 'TarnwickSessionID'

curl -s -b "$jar" -c "$jar" -D "$work/signin.headers" "$base/" > "$work/signin.html"
check "the sign-in page" has "$work/signin.html" 'id="signin"'
check "the session cookie is HttpOnly and SameSite=Lax" grep -qi '^Set-Cookie: TarnwickSessionID=.*; HttpOnly; SameSite=Lax' "$work/signin.headers"
before=$(session_id)

curl -s -b "$jar" -c "$jar" -L -d "token=$(token_of "$work/signin.html")&user=alice&password=wrong" "$base/default.asp" > "$work/refused.html"
check "a wrong password is refused" has "$work/refused.html" 'Wrong user name or password'

curl -s -b "$jar" -c "$jar" -L -D "$work/signedin.headers" -d "token=$(token_of "$work/refused.html")&user=alice&password=wonderland" "$base/default.asp" > "$work/inbox.html"
check "signing in leads to the inbox" has "$work/inbox.html" 'id="inbox"'
# The one-use sign-in ticket, when it is handed out and when it is taken back.
check "the sign-in ticket cookie is HttpOnly and SameSite=Lax, both times" \
    test "$(grep -ci '^Set-Cookie: TarnwickSignIn=.*; HttpOnly; SameSite=Lax' "$work/signedin.headers")" -eq 2
check "pages are sent as UTF-8" grep -qF '<meta charset="utf-8">' "$work/inbox.html"
after=$(session_id)
# The messages are listed in directory order over two pages: take both.
get "inbox.asp?page=2" >> "$work/inbox.html"
check "signing in gives a new session id" test -n "$before" -a -n "$after" -a "$before" != "$after"
check "the inbox lists an English subject" has "$work/inbox.html" 'Lunch on Friday?'
check "the inbox lists a Chinese subject" has "$work/inbox.html" '周六会议'
check "the inbox joins a subject of several UTF-8 words" has "$work/inbox.html" '关于下个季度产品发布会的安排和准备工作'
check "the inbox lists an emoji subject" has "$work/inbox.html" 'Party 🎉 tonight'

# The message numbers follow the store's directory order: find them by subject.
index_of() { grep -a -F -- "$1" "$work/inbox.html" | sed -n 's/.*read\.asp?i=\([0-9]*\).*/\1/p' | head -1; }
lunch=$(index_of 'Lunch on Friday?')
chinese=$(index_of '周六会议')

get "read.asp?i=$lunch" > "$work/lunch.html"
check "a message shows its body" has "$work/lunch.html" 'Shall we try the new noodle place?'
check "a message lists its attachments" has "$work/lunch.html" 'map.png'
get "read.asp?i=$chinese" > "$work/chinese.html"
check "a Chinese message shows its body" has "$work/chinese.html" '明天上午九点开会'

curl -s -b "$jar" -o "$work/map.png" -D "$work/map.headers" "$base/attachment.asp?i=$lunch&name=map.png"
check "an attachment downloads byte for byte" cmp -s "$work/map.png" "$ROOT/tests/browser/data/map.png"
check "the download has the attachment's type" grep -qi '^Content-Type: image/png' "$work/map.headers"

get compose.asp > "$work/compose.html"
token=$(token_of "$work/compose.html")
subject="Demo check $$"
printf 'attached text\r\n' > "$work/note.txt"
curl -s -b "$jar" -c "$jar" -F "token=$token" -F From=alice@localhost -F To=bob@localhost \
    -F "Subject=$subject" -F 'Body=Sent by the demo check.' -F "file1=@$work/note.txt" \
    "$base/send.asp" > "$work/sent.html"
check "sending a message" has "$work/sent.html" 'Message sent.'
delivered=""
for _ in $(seq 50); do
    delivered=$(grep -l -aF -- "$subject" "$store"/bob/mailbox/* 2>/dev/null | head -1)
    [ -n "$delivered" ] && break
    sleep 0.2
done
check "the message is delivered to bob" test -n "$delivered"
check "the delivered message carries the attachment" has "${delivered:-/dev/null}" 'filename="note.txt"'

curl -s -b "$jar" -c "$jar" -F "token=$token" -F From=alice@localhost -F 'To=bob@localhost, wangming@localhost' \
    -F 'Subject=spaces' -F 'Body=x' "$base/send.asp" > "$work/spaces.html"
check "blanks around an address separator are fine" has "$work/spaces.html" 'Message sent.'
curl -s -b "$jar" -c "$jar" -F "token=$token" -F From=alice@localhost -F 'To=bbo@localhost' \
    -F 'Subject=typo' -F 'Body=x' "$base/send.asp" > "$work/typo.html"
check "a mistyped local recipient is named" has "$work/typo.html" 'Unknown local recipient: bbo@localhost'

curl -s -b "$jar" -c "$jar" --data-urlencode 'hz=~{<:Ky2;S{#,NpJ)l6HK!#~}' -d "token=$token" "$base/hz.asp" > "$work/hz.html"
check "HZ text converts to GB2312" has "$work/hz.html" '己所不欲，勿施於人。'

get about.asp > "$work/about.html"
check "the About page" has "$work/about.html" 'id="about"'

curl -s -b "$jar" -c "$jar" -o /dev/null -d "token=$token" "$base/signout.asp"
curl -s -b "$jar" -c "$jar" -o /dev/null -w '%{http_code} %{redirect_url}' "$base/inbox.asp" > "$work/after.txt"
check "after signing out the inbox asks for sign-in" grep -q 'default.asp' "$work/after.txt"

[ "$failures" -eq 0 ]
