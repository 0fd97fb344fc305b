#!/usr/bin/env bash
# The command line of hecat: what each command prints and how it fails.
#   cli_test.sh path/to/hecat
set -u
hecat=$1
work=$(mktemp -d) || exit 1  # never an empty name: the tests remove and write under it
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
holds "csv header" "$work/out" "ordinal,name,family,bytes,text,english"

expect "unwritable output" 2 "$hecat" preview --output "$work/missing/page.html"
[ ! -e "$work/missing/page.html" ] && [ -z "$(ls "$work" | grep -v '^out$\|^err$\|^rows.json$\|^out.d$\|^from-fifo$')" ] \
    && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL unwritable output left a file"; }

# --output writes through what is not a regular file and never replaces it.
ok() {  # ok DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $what"; fi
}
mkdir "$work/out.d"
echo keep >"$work/out.d/list.txt.tmp"
expect "output beside a .tmp" 0 "$hecat" list --output "$work/out.d/list.txt"
ok "a .tmp beside the target is untouched" grep -qx keep "$work/out.d/list.txt.tmp"
ok "no temporary left" [ "$(ls -A "$work/out.d" | wc -l)" -eq 2 ]
echo old >"$work/out.d/real.txt"
ln -s real.txt "$work/out.d/link.txt"
expect "output through a symlink" 0 "$hecat" list --family months --output "$work/out.d/link.txt"
ok "the symlink stays a symlink" [ -L "$work/out.d/link.txt" ]
ok "its target holds the output" grep -q GetTrMonJanuary "$work/out.d/real.txt"
ln -s missing.txt "$work/out.d/dangling.txt"
expect "dangling symlink refused" 2 "$hecat" list --output "$work/out.d/dangling.txt"
ok "nothing created for a dangling symlink" [ ! -e "$work/out.d/missing.txt" ]
mkfifo "$work/out.d/fifo"
cat "$work/out.d/fifo" >"$work/from-fifo" &
expect "output to a FIFO" 0 "$hecat" list --family months --output "$work/out.d/fifo"
wait
ok "the FIFO stays a FIFO" [ -p "$work/out.d/fifo" ]
ok "the FIFO carried the output" [ "$(wc -l <"$work/from-fifo")" -eq 12 ]
expect "output to /dev/null" 0 "$hecat" list --output /dev/null
ok "/dev/null stays a device" [ -c /dev/null ]
expect "output to /dev/full" 2 "$hecat" list --output /dev/full
ok "/dev/full stays a device" [ -c /dev/full ]
expect "output to a folder" 2 "$hecat" list --output "$work/out.d"
expect "standard output full" 2 sh -c '"$1" list >/dev/full' sh "$hecat"
holds "standard output error named" "$work/err" "hecat: cannot write standard output"
expect "unknown family" 2 "$hecat" list --family menu
holds "families listed" "$work/err" "the families are identity, buttons, status, menus"
expect "short help" 0 "$hecat" -h
holds "help text" "$work/out" "usage: hecat list"
expect "show the longest text whole" 0 "$hecat" show GetTrFmtImageProperties --max -1
holds "longest text" "$work/out" "129 bytes"

expect "preview page" 0 "$hecat" preview --output "$work/page.html"
holds "page is self-contained" "$work/page.html" '<meta charset="utf-8">'
if grep -qE 'src=|href="[a-z]+:|@import|url\(' "$work/page.html"; then failed=$((failed + 1)); echo "FAIL page reaches outside"; else passed=$((passed + 1)); fi
holds "page shows the menus" "$work/page.html" "GetTrMnuTxtZebraSkin"
expect "preview terminal" 0 "$hecat" preview --terminal
holds "terminal visual order" "$work/out" "|: עקר|"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
