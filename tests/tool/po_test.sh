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
import() {  # import PO: status in $status, output in $work/out
    (cd "$work/repo" && "$hecat" import "$1") >"$work/out" 2>&1
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
ok "one unit per catalogue entry" [ "$(grep -c '^msgctxt' "$work/he.po")" -eq 736 ]
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
edit "$work/edited.po" GetTrLblWidth "רוחב התמונה :"
edit "$work/edited.po" GetTrDlgBatch1 "אין קבצים לעיבוד !"
reword "$work/edited.po" GetTrDlgTwain1 "לא תומכת" "אינה תומכת"
reword "$work/edited.po" GetTrFmtExploreProperties "שם קובץ" "שם הקובץ"
edit "$work/edited.po" GetTrDlgPrint1 "הרוחב חייב להיות בין %1\$f לבין %2\$f !"
import "$work/edited.po"
ok "the edited import succeeds" [ "$status" -eq 0 ] || cat "$work/out"
ok "menu caption stored" grep -qF 'OPEN(GetTrMnuNew,                "קובץ חדש",' "$work/repo/src/catalogue/menus.inc"
ok "field caption stored with its colon first" grep -qF 'OPEN(GetTrLblWidth,                ": רוחב התמונה",' "$work/repo/src/catalogue/labels.inc"
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

finish
