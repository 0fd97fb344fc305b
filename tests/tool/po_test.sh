#!/usr/bin/env bash
# The translators' loop through a PO file, on a copy of the tables: the export
# passes msgfmt -c, an unchanged import changes no byte, an edited unit of
# each kind changes exactly its row, and bad files change nothing.
#   po_test.sh path/to/hecat SOURCE_DIR
set -u
hecat=$(realpath "$1") source_dir=$(realpath "$2")
source "$(dirname "$0")/../common/checks.sh"
fresh() {  # a copy of the files an import may rewrite, as the repository has them
    rm -rf "$work/repo" "$work/before"
    mkdir -p "$work/repo/src/catalogue" "$work/repo/tests/data"
    cp "$source_dir"/src/catalogue/*.inc "$work/repo/src/catalogue/"
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
refused "a broken rule" "$work/rule.po" "GetTrMnuOpen: menu wording written for this module is Hebrew letters and single blanks only"
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
fresh
sed -i 's/"חדש"/"חדש מאוד"/' "$work/repo/src/catalogue/menus.inc"
cp -r "$work/repo" "$work/before"
import "$work/he.po"
ok "tables hecat was not built with: refused" [ "$status" -eq 2 ]
ok "tables hecat was not built with: says to build" sh -c "[ \$(wc -l <'$work/out') -eq 1 ] && grep -q 'run ./dev build' '$work/out'"

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
(ulimit -f 24; trap '' XFSZ; cd "$work/repo" && "$hecat" import --change-quoted "$work/two.po") >"$work/out" 2>&1
ok "a full disk: refused" grep -q 'no file changed' "$work/out"
ok "a full disk: no file changed" unchanged
ok "a full disk: nothing left behind" [ -z "$(find "$work/repo" -name '.hecat-*')" ]

finish
