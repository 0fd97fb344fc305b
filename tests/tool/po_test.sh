#!/usr/bin/env bash
# The translators' loop through a PO file, on a copy of the tables: the export
# passes msgfmt -c, an unchanged import changes no byte, an edited unit of
# each kind changes exactly its row, and bad files change nothing.
#   po_test.sh path/to/hecat SOURCE_DIR
set -u
hecat=$(realpath "$1") source_dir=$(realpath "$2")
source "$(dirname "$0")/../common/checks.sh"
fresh() {  # a copy of the files hecat reads and an import may rewrite, as the repository has them
    rm -rf "$work/repo" "$work/before"
    mkdir -p "$work/repo/src/catalogue" "$work/repo/tests/data" "$work/repo/exports"
    cp "$source_dir"/src/catalogue/*.inc "$work/repo/src/catalogue/"
    cp "$source_dir/src/identity.inc" "$work/repo/src/"
    cp "$source_dir/exports/catalogue.txt" "$work/repo/exports/"
    cp "$source_dir/tests/data/texts.txt" "$work/repo/tests/data/"
    cp -r "$work/repo" "$work/before"
}
import() {  # import [OPTION...] PO: status in $status, output in $work/out
    (cd "$work/repo" && "$hecat" import "$@") >"$work/out" 2>&1
    status=$?
}
unchanged() { diff -r "$work/before" "$work/repo" >/dev/null; }
# edit PO ENTRY NEW_MSGSTR: sets the msgstr of one unit
edit() {
    NEW="$3" ENTRY="$2" perl -0 -i -pe 's/(msgctxt "\Q$ENV{ENTRY}\E"\nmsgid (?:"(?:[^"\\]|\\.)*"\n)+msgstr )(?:"(?:[^"\\]|\\.)*"\n)+/$1"$ENV{NEW}"\n/' "$1"
}
# reword PO ENTRY OLD NEW: changes words inside one unit's msgstr, as read
reword() {
    OLD="$3" NEW="$4" ENTRY="$2" perl -0 -i -pe 's/(msgctxt "\Q$ENV{ENTRY}\E"\nmsgid (?:"(?:[^"\\]|\\.)*"\n)+msgstr "[^\n]*?)\Q$ENV{OLD}\E/$1$ENV{NEW}/' "$1"
}

"$hecat" export --format po --output "$work/he.po"
ok "one unit per catalogue entry with wording" [ "$(grep -c '^msgctxt' "$work/he.po")" -eq 735 ]
ok "no unit for a text empty by rule" sh -c "! grep -q 'msgctxt \"GetTrFmtFileDate\"' '$work/he.po'"
ok "line breaks written as translators' tools write them" sh -c "grep -q 'msgstr .*\\\\n' '$work/he.po' && ! grep -qF '\\r' '$work/he.po'"
ok "msgcat and msgattrib say nothing of the export" sh -c "msgcat '$work/he.po' 2>&1 >/dev/null | grep -q . && exit 1; msgattrib '$work/he.po' 2>&1 >/dev/null | grep -q . && exit 1; exit 0"
ok "the deliberate blank is said to be" grep -qF '#. The blank at the start is deliberate' "$work/he.po"
ok "c-format on the templates alone" [ "$(grep -c '^#, c-format' "$work/he.po")" -eq 50 ]
ok "msgfmt -c accepts the export without a word" sh -c "msgfmt -c -o /dev/null '$work/he.po' 2>'$work/msgfmt' && [ ! -s '$work/msgfmt' ]"
ok "a field caption as a reader reads it" grep -qF 'msgstr "רקע :"' "$work/he.po"
ok "arguments that the reading reorders are numbered" grep -qF '%2$f' "$work/he.po"

fresh
import "$work/he.po"
ok "an unchanged import succeeds" [ "$status" -eq 0 ]
ok "an unchanged import changes no byte" unchanged

# One unit of each kind, edited as a translator would, in reading order.
cp "$work/he.po" "$work/edited.po"
edit "$work/edited.po" GetTrMnuNew "קובץ חדש"
edit "$work/edited.po" GetTrLblHeight "גובה התמונה :"
edit "$work/edited.po" GetTrDlgBatch1 "אין קבצים לעיבוד !"
reword "$work/edited.po" GetTrDlgTwain1 "לא תומכת" "אינה תומכת"
reword "$work/edited.po" GetTrFmtExploreProperties "שם קובץ" "שם הקובץ"
edit "$work/edited.po" GetTrDlgPrint1 "הרוחב חייב להיות בין %1\$f לבין %2\$f !"
import "$work/edited.po"
ok "a quoted text changes only when asked" grep -q 'GetTrDlgBatch1: quoted from the editor' "$work/out"
import --change-quoted "$work/edited.po"
ok "the edited import succeeds" [ "$status" -eq 0 ] || cat "$work/out"
ok "menu caption stored" grep -qF 'OPEN(GetTrMnuNew,                "קובץ חדש",' "$work/repo/src/catalogue/menus.inc"
ok "field caption stored with its colon first" grep -qF 'OPEN(GetTrLblHeight,               ": גובה התמונה",' "$work/repo/src/catalogue/labels.inc"
ok "closing mark stored first" grep -qF 'FIXED(GetTrDlgBatch1,   "! אין קבצים לעיבוד",' "$work/repo/src/catalogue/messages.inc"
ok "quoted text changed in texts.txt too" grep -qxF 'GetTrDlgBatch1 "! אין קבצים לעיבוד"' "$work/repo/tests/data/texts.txt"
ok "multi-line message, a line a literal" grep -qxF '      "פעולה זו אינה תומכת בעיבוד אצווה.\r"' "$work/repo/src/catalogue/messages.inc"
ok "its second line untouched" grep -qxF '      "! רק התמונה הראשונה אוחזרה",' "$work/repo/src/catalogue/messages.inc"
ok "template with two kinds of argument" grep -qxF '      "שם הקובץ : %s\r"' "$work/repo/src/catalogue/templates.inc"
ok "numbered arguments stored in the editor's order" grep -qF 'FIXED(GetTrDlgPrint1,   "! הרוחב חייב להיות בין %f לבין %f",' "$work/repo/src/catalogue/messages.inc"
ok "exactly the edited rows changed" [ "$(diff -r "$work/before" "$work/repo" | grep -c '^>')" -eq 10 ]

# Bad files: a finding per line naming the entry, and no file changed.
refused() {  # refused DESCRIPTION PO TEXT_IN_OUTPUT
    fresh
    import "$2"
    ok "$1: refused" [ "$status" -ne 0 ]
    ok "$1: says so" grep -qF -- "$3" "$work/out"
    ok "$1: no file changed" unchanged
}
cp "$work/he.po" "$work/rule.po"
edit "$work/rule.po" GetTrMnuOpen "פתח-קובץ"
edit "$work/rule.po" GetTrMnuNew "קובץ חדש"
refused "a broken rule" "$work/rule.po" "GetTrMnuOpen: a menu caption written for this module is Hebrew letters and single blanks only"
cp "$work/he.po" "$work/unknown.po"
sed -i 's/^msgctxt "GetTrMnuOpen"$/msgctxt "GetTrMnuOpenNothing"/' "$work/unknown.po"
refused "an unknown entry" "$work/unknown.po" "GetTrMnuOpenNothing: no such entry"
cp "$work/he.po" "$work/twice.po"
printf '\nmsgctxt "GetTrMnuNew"\nmsgid "New"\nmsgstr "חדש"\n' >>"$work/twice.po"
refused "a duplicated unit" "$work/twice.po" "GetTrMnuNew"
printf 'msgid "a\nmsgstr "b"\n' >"$work/broken.po"
refused "a malformed file" "$work/broken.po" "broken.po"
iconv -f UTF-8 -t ISO-8859-8 "$work/he.po" 2>/dev/null | sed 's/charset=UTF-8/charset=ISO-8859-8/' >"$work/latin.po"
refused "another encoding" "$work/latin.po" "UTF-8"
cp "$work/he.po" "$work/mark.po"
edit "$work/mark.po" GetTrMnuNew "חדש־"
refused "a Hebrew mark" "$work/mark.po" "U+05BE HEBREW PUNCTUATION MAQAF"
fresh
cp "$work/he.po" "$work/skip.po"
edit "$work/skip.po" GetTrMnuNew ""
perl -0 -i -pe 's/(\n)(msgctxt "GetTrMnuOpen")/$1#, fuzzy\n$2/' "$work/skip.po"
edit "$work/skip.po" GetTrMnuOpen "פתח משהו"
import "$work/skip.po"
ok "fuzzy and empty units: the import succeeds" [ "$status" -eq 0 ]
ok "fuzzy and empty units are reported" sh -c "grep -q 'GetTrMnuNew: not translated' '$work/out' && grep -q 'GetTrMnuOpen: fuzzy' '$work/out'"
ok "fuzzy and empty units change nothing" unchanged

# A file exported before a change to the tables, as older exports record it:
# GetTrMnuSaveAs read "שמור בשם" then, the tables now say otherwise.
digest() { python3 -c 'import sys
h = 14695981039346656037
for b in sys.argv[1].encode():
    h = ((h ^ b) * 1099511628211) % 2**64
print("%016x" % h)' "$1"; }
stale() {  # stale PO FILE_TEXT: GetTrMnuSaveAs exported as "שמור בשם", now FILE_TEXT in the file
    cp "$work/he.po" "$1"
    edit "$1" GetTrMnuSaveAs "$2"
    BASE=$(digest "שמור בשם") perl -0 -i -pe 's/hecat-base: \w+(\n#: [^\n]*\nmsgctxt "GetTrMnuSaveAs")/hecat-base: $ENV{BASE}$1/' "$1"
    edit "$1" GetTrMnuNew "קובץ חדש"
}
fresh
stale "$work/stale.po" "שמור בשם"
import "$work/stale.po"
ok "a stale file: the translator's change lands" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
ok "a stale file: the later change to the tables stays" grep -qF "$(grep -F '(GetTrMnuSaveAs,' "$source_dir/src/catalogue/menus.inc")" "$work/repo/src/catalogue/menus.inc"
ok "a stale file: says what it kept" grep -q 'GetTrMnuSaveAs: changed in the tables since the export' "$work/out"
stale "$work/conflict.po" "שמור בשם אחר"
refused "a conflict" "$work/conflict.po" 'GetTrMnuSaveAs: changed both in the file and in the tables since the export: at export unknown'
ok "a conflict names the three texts" grep -qF 'in the file "שמור בשם אחר"' "$work/out"
fresh
import --prefer-file "$work/conflict.po"
ok "--prefer-file takes the file's text" grep -qF '"שמור בשם אחר"' "$work/repo/src/catalogue/menus.inc"
fresh
grep -v 'X-Hecat-\|hecat-base' "$work/he.po" >"$work/bare.po"
edit "$work/bare.po" GetTrMnuNew "קובץ חדש"
import "$work/bare.po"
ok "a file with no record imports as before" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
ok "a file with no record says conflicts cannot be told" grep -q 'no record of the tables' "$work/out"

# Files as translators' tools and mishaps leave them.
fresh
cp "$work/he.po" "$work/r.po"
edit "$work/r.po" GetTrDlgBatch1 'שורה\rשנייה !'
sed -i 's/\\n/\\r/g' "$work/r.po"
import --change-quoted "$work/r.po"
ok "an older file's \\r still imports" grep -qF 'FIXED(GetTrDlgBatch1,   "שורה\r! שנייה",' "$work/repo/src/catalogue/messages.inc"
fresh
printf '\xEF\xBB\xBF' | cat - "$work/he.po" >"$work/bom.po"
edit "$work/bom.po" GetTrMnuNew "קובץ חדש"
import "$work/bom.po"
ok "a byte order mark is passed over" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
cp "$work/he.po" "$work/nul.po"
edit "$work/nul.po" GetTrMnuCloseAll 'סגירת\0 כל החלונות'
refused "a zero byte" "$work/nul.po" "nul.po:"
ok "a zero byte is named" grep -q 'U+0000 NULL' "$work/out"
: >"$work/empty.po"
refused "an empty file" "$work/empty.po" "holds no unit"
head -c 100000 "$work/he.po" >"$work/cut.po"
refused "a file cut short" "$work/cut.po" "cut short"
refused "a binary file" "$hecat" "findings (the first 20 shown)"
ok "a binary file: at most 21 lines" [ "$(wc -l <"$work/out")" -le 21 ]
mkdir -p "$work/repo/src/sub"
(cd "$work/repo/src/sub" && "$hecat" import "$work/he.po") >"$work/out" 2>&1
ok "from a subfolder: one line" sh -c "[ \$(wc -l <'$work/out') -eq 1 ] && grep -q 'top folder' '$work/out'"
rmdir "$work/repo/src/sub"

# hecat reads the tables as their files stand, with no rebuild: an edit, a
# broken rule and a row it cannot read are seen at once, and an export from
# files that differ from their commit says so.
fresh
git -C "$work/repo" init -q && git -C "$work/repo" add . &&
    git -C "$work/repo" -c user.name=t -c user.email=t@t commit -qm tables
sed -i 's/"חדש", "New"/"חדש מאוד", "New"/' "$work/repo/src/catalogue/menus.inc"
(cd "$work/repo" && "$hecat" export --format po) >"$work/now.po"
ok "an edited row is exported as it stands" grep -qxF 'msgstr "חדש מאוד"' "$work/now.po"
ok "an export from edited tables says so" grep -qF "X-Hecat-Tables: modified since $(git -C "$work/repo" rev-parse HEAD): src/catalogue/menus.inc" "$work/now.po"
sed -i 's/"חדש מאוד"/"חדש\xE2\x80\x8F"/; 20s/^/)/' "$work/repo/src/catalogue/menus.inc"
(cd "$work/repo" && "$hecat" check) >"$work/out" 2>&1
ok "check finds a broken rule as it stands" grep -q '^src/catalogue/menus.inc:11: GetTrMnuNew: holds U+200F' "$work/out"
ok "check names a row it cannot read" grep -q '^src/catalogue/menus.inc:20: cannot be read: not a row' "$work/out"
(cd "$work/repo" && "$hecat" export --format po) >"$work/out" 2>&1
ok "no export of tables it cannot read" sh -c "[ \$(wc -l <'$work/out') -eq 1 ] && grep -q 'menus.inc:20: cannot be read' '$work/out'"

# All or nothing across files: a quoted and a written text change two files.
cp "$work/he.po" "$work/two.po"
edit "$work/two.po" GetTrMnuNew "קובץ חדש"
edit "$work/two.po" GetTrDlgBatch1 "אין קבצים לעיבוד !"
fresh
chmod 444 "$work/repo/tests/data/texts.txt"
cp -p "$work/repo/tests/data/texts.txt" "$work/before/tests/data/texts.txt"
import --change-quoted "$work/two.po"
ok "a read-only file: refused" [ "$status" -eq 2 ]
ok "a read-only file: no file changed" unchanged
ok "a read-only file: nothing left behind" [ -z "$(find "$work/repo" -name '.hecat-*')" ]
fresh
(ulimit -f 24; cd "$work/repo" && "$hecat" import --change-quoted "$work/two.po") >"$work/out" 2>&1
status=$?
one_line() {  # one_line STATUS WANTED TEXT: exit status as wanted, and one error in $work/out, holding TEXT
    [ "$1" -eq "$2" ] && [ "$(grep -c '^hecat: ' "$work/out")" -eq 1 ] && grep -q "^hecat: .*$3" "$work/out"
}
ok "out of file size: refused in one line" one_line "$status" 2 'File too large; no file changed'
ok "out of file size: no file changed" unchanged
ok "out of file size: nothing left behind" [ -z "$(find "$work/repo" -name '.hecat*')" ]

# Killed at each step of an import (stopped there by HECAT_TEST_STOP, then
# killed), the next hecat command leaves the tables and texts.txt all old or
# all new, and none of hecat's files.
fresh
import --change-quoted "$work/two.po"
cp -r "$work/repo" "$work/after"
stopped() {  # stopped PID: waits until it stops (true) or ends (false)
    local pid comm state
    while read -r pid comm state _ 2>/dev/null <"/proc/$1/stat"; do
        case $state in T) return 0 ;; Z) return 1 ;; esac
        sleep 0.01
    done
    return 1
}
old=0 new=0 mixed=0 step=1
while :; do
    fresh
    (cd "$work/repo" && HECAT_TEST_STOP=$step exec "$hecat" import --change-quoted "$work/two.po") >/dev/null 2>&1 &
    stopped $! || { wait $!; break; }
    kill -KILL $! && wait $! 2>/dev/null
    (cd "$work/repo" && "$hecat" list) >/dev/null 2>&1
    if unchanged; then old=$((old + 1)); elif diff -r "$work/after" "$work/repo" >/dev/null; then new=$((new + 1)); else mixed=$((mixed + 1)); fi
    step=$((step + 1))
done
ok "killed at any step: all old or all new, nothing left behind ($old old, $new new)" [ "$mixed" -eq 0 ]
ok "killed at any step: killed both before and after the point of no return" [ "$old" -ge 5 -a "$new" -ge 5 ]

# An edit saved while an import runs is never overwritten: the import sees it
# before it replaces anything, and changes nothing.
fresh
(cd "$work/repo" && HECAT_TEST_STOP=1 exec "$hecat" import --change-quoted "$work/two.po") >"$work/out" 2>&1 &
stopped $!
sed -i 's/"קבצים אחרונים"/"קבצים שנפתחו לאחרונה"/' "$work/repo/src/catalogue/menus.inc"
cp "$work/repo/src/catalogue/menus.inc" "$work/before/src/catalogue/menus.inc"
kill -CONT $!
wait $!
ok "an edit saved during the import: refused in one line" one_line $? 2 "menus.inc has changed since hecat read it"
ok "an edit saved during the import: kept, nothing else changed" unchanged

# Two imports at once, each changing another row of one table: the second
# waits for the first, and neither change is lost.
cp "$work/he.po" "$work/recent.po"
edit "$work/recent.po" GetTrMnuRecentFiles "קבצים שנפתחו לאחרונה"
lost=0
for run in $(seq 20); do
    fresh
    (cd "$work/repo" && "$hecat" import --change-quoted "$work/two.po") >/dev/null 2>&1 & first=$!
    (cd "$work/repo" && "$hecat" import "$work/recent.po") >/dev/null 2>&1 & second=$!
    wait $first; one=$?
    wait $second; other=$?
    ((one == 0 && other == 0)) && grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc" &&
        grep -qF '"קבצים שנפתחו לאחרונה"' "$work/repo/src/catalogue/menus.inc" &&
        cmp -s "$work/after/tests/data/texts.txt" "$work/repo/tests/data/texts.txt" || lost=$((lost + 1))
done
ok "two imports at once, 20 times: both changes land every time ($lost lost)" [ "$lost" -eq 0 ]

# What hecat writes stays as the user had it: --output refuses a read-only
# file as the import does and gives up on a FIFO that nobody reads; an import
# keeps each table's owner and mode; the export records the commit of the
# checkout hecat serves, wherever it runs and whatever repository the
# environment names.
echo keep >"$work/readonly.txt"
chmod 444 "$work/readonly.txt"
ok "--output over a read-only file: refused, the file kept" sh -c \
    '! "$1" list --output "$2" 2>"$3" && grep -q "it is read-only" "$3" && grep -qx keep "$2"' sh "$hecat" "$work/readonly.txt" "$work/err"
mkfifo "$work/fifo"
ok "--output to a FIFO nobody reads: refused in one line" sh -c \
    '! timeout 20 "$1" list --output "$2" 2>"$3" && [ "$(wc -l <"$3")" -eq 1 ] && grep -q "no program reads" "$3" && [ -p "$2" ]' \
    sh "$hecat" "$work/fifo" "$work/err"
if [ "$(id -u)" -eq 0 ]; then  # only root can give a table another owner
    fresh
    chown 65534:65534 "$work/repo/src/catalogue/menus.inc"
    chmod 640 "$work/repo/src/catalogue/menus.inc"
    import --change-quoted "$work/two.po"
    ok "an import run as root keeps a table's owner and mode" \
        test "$status $(stat -c %u:%g:%a "$work/repo/src/catalogue/menus.inc")" = "0 65534:65534:640"
fi
commit=$(git -C "$source_dir" rev-parse --verify HEAD 2>/dev/null || echo unknown)
mkdir "$work/other" "$work/plain"
git -C "$work/other" init -q && git -C "$work/other" -c user.name=t -c user.email=t@t commit -q --allow-empty -m other
for where in other plain; do
    (cd "$work/$where" && GIT_DIR="$work/other/.git" "$hecat" export --format po) >"$work/$where.po"
    ok "the export from $where records the commit hecat serves" grep -qxF "\"X-Hecat-Commit: $commit\\n\"" "$work/$where.po"
done

finish
