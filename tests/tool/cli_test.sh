#!/usr/bin/env bash
# The command line of hecat: what each command prints and how it fails.
#   cli_test.sh path/to/hecat
set -u
hecat=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

expect() {  # expect DESCRIPTION STATUS COMMAND... ; output in $work/out, errors in $work/err
    local what=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $what: status $got, expected $want"; fi
}
holds() {  # holds DESCRIPTION FILE TEXT
    if grep -qF -- "$3" "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: $2 lacks '$3'"; fi
}

expect "check passes" 0 "$hecat" check
holds "check counts" "$work/out" "743 entries checked, 0 findings"

expect "list all" 0 "$hecat" list
[ "$(wc -l <"$work/out")" -eq 743 ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL list: $(wc -l <"$work/out") lines"; }
expect "list by family" 0 "$hecat" list --family months
holds "list by family" "$work/out" "GetTrMonDecember"
[ "$(wc -l <"$work/out")" -eq 12 ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL months: $(wc -l <"$work/out") lines"; }
expect "list by pattern" 0 "$hecat" list --name 'GetTrDlgImage*'
holds "list shows CR" "$work/out" "שנה שם"
holds "list shows CR" "$work/out" "⏎"

expect "show with a cut" 0 "$hecat" show GetMnuShift --max 5
holds "show hex" "$work/out" "53 68 69 66 74 00"
expect "show negative limit" 0 "$hecat" show GetTrLblBatchInterrupted --max -1
holds "show whole text" "$work/out" "33 bytes"

expect "unknown name" 2 "$hecat" show GetTrMnuCrystallize
holds "one-line error" "$work/err" "hecat: no entry named GetTrMnuCrystallize"
expect "bad limit" 2 "$hecat" show GetTrBtnOk --max 4294967296
expect "unknown option" 2 "$hecat" list --colour
expect "unknown command" 2 "$hecat" frobnicate
expect "missing format" 2 "$hecat" export

expect "export json" 0 "$hecat" export --format json --output "$work/rows.json"
holds "json row" "$work/rows.json" '{"ordinal": 743, "name": "GetCompatibility"'
expect "export csv" 0 "$hecat" export --format csv
holds "csv header" "$work/out" "ordinal,name,family,bytes,text,gloss"

expect "unwritable output" 2 "$hecat" preview --output "$work/missing/page.html"
[ ! -e "$work/missing/page.html" ] && [ -z "$(ls "$work" | grep -v '^out$\|^err$\|^rows.json$')" ] \
    && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL unwritable output left a file"; }

expect "preview page" 0 "$hecat" preview --output "$work/page.html"
holds "page is self-contained" "$work/page.html" '<meta charset="utf-8">'
if grep -qE 'src=|href="[a-z]+:|@import|url\(' "$work/page.html"; then failed=$((failed + 1)); echo "FAIL page reaches outside"; else passed=$((passed + 1)); fi
holds "page shows the menus" "$work/page.html" "GetTrMnuTxtZebraSkin"
expect "preview terminal" 0 "$hecat" preview --terminal
holds "terminal visual order" "$work/out" "|: בחור|"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
