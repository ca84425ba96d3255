#!/usr/bin/env bash
# The page host's layers, checked on its sources: the transport (host/net/)
# includes nothing from the site (host/site/) or the page objects
# (host/page/), and no folder of the host includes the program at its top
# (host/Main.cpp, Options, Supervisor).
# Prints "ok"/"not ok" lines and "N passed, M failed".
set -u
host=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../host" && pwd)
passed=0
failed=0
check() {   # name, offending lines (empty when none)
    if [ -z "$2" ]; then
        echo "ok $1"
        passed=$((passed + 1))
    else
        echo "not ok $1 # $(printf '%s' "$2" | head -5 | tr '\n' ' ')"
        failed=$((failed + 1))
    fi
}
includes() {   # folder, pattern of included paths
    grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($2)" "$host/$1" 2>/dev/null
}
[ -d "$host/net" ] && [ -d "$host/site" ] && [ -d "$host/page" ]
check "the host's layers are the folders net/, site/ and page/" "$([ $? -eq 0 ] || echo missing)"
check "host/net/ includes nothing from host/site/ or host/page/" "$(includes net 'host/(site|page)/')"
check "host/net/, host/site/ and host/page/ do not include the program" \
    "$(for d in net site page; do includes "$d" 'host/(Options|Supervisor)\.h'; done)"
check "every header the host includes is in one of its layers" "$(grep -rnhoE '"host/[A-Za-z]+\.h"' "$host" | \
    grep -vE '"host/(Options|Supervisor)\.h"')"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
