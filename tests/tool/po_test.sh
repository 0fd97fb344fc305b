#!/usr/bin/env bash
# The translators' loop through a PO file, on a copy of the tables: the export
# passes msgfmt -c, an unchanged import changes no byte, an edited unit of
# each kind changes exactly its row, a file refreshed by gettext's and
# Translate Toolkit's tools keeps every change committed since, hecat update
# and the import's options, and bad files change nothing.
#   po_test.sh path/to/hecat SOURCE_DIR
set -u
hecat=$(realpath "$1") source_dir=$(realpath "$2")
source "$(dirname "$0")/../common/checks.sh"
copy_tables() {  # copy_tables FROM TO: the files hecat reads and an import may rewrite
    mkdir -p "$2/src/catalogue" "$2/tests/data" "$2/exports"
    cp "$1"/src/catalogue/*.inc "$2/src/catalogue/"
    cp "$1/src/identity.inc" "$2/src/"
    cp "$1/exports/catalogue.txt" "$2/exports/"
    cp "$1/tests/data/texts.txt" "$2/tests/data/"
}
# The cases read a copy of the tables in which the rows written for this
# module that they edit have texts of the test's own: a change of wording in
# the repository's tables (one any import may bring) leaves the test as it is.
tables=$work/tables
copy_tables "$source_dir" "$tables"
while IFS= read -r row; do
    ROW=$row perl -i -pe 'BEGIN { ($name) = $ENV{ROW} =~ /^OPEN\((\w+),/ } $_ = "$ENV{ROW}\n" if /^OPEN\(\Q$name\E,/' \
        "$tables"/src/catalogue/*.inc
done <<'ROWS'
OPEN(GetTrLblHeight,               ": גובה", "Height")
OPEN(GetTrLblLeft,                 "שמאל", "Left")
OPEN(GetTrLblWidth,                ": רוחב", "Width")
OPEN(GetTrMnuCloseAll,           "סגור הכל", "Close all")
OPEN(GetTrMnuExit,               "יציאה", "Exit")
OPEN(GetTrMnuNew,                "חדש", "New")
OPEN(GetTrMnuOpen,               "פתיחה", "Open (opening)")
OPEN(GetTrMnuRecentFiles,        "קבצים אחרונים", "Recent files")
OPEN(GetTrMnuSaveAs,             "שמירה בשם", "Save as (saving under a name)")
ROWS
fresh() {  # a copy of the test's tables in $work/repo, and another as they were in $work/before
    rm -rf "$work/repo" "$work/before"
    copy_tables "$tables" "$work/repo"
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

before=$(date '+%Y-%m-%d %H:%M%z')
(cd "$tables" && "$hecat" export --format po --output "$work/he.po")
ok "the export is dated when it was made" sh -c 'grep -qxF -e "\"PO-Revision-Date: $1\\n\"" -e "\"PO-Revision-Date: $2\\n\"" "$3"' \
    sh "$before" "$(date '+%Y-%m-%d %H:%M%z')" "$work/he.po"
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
ok "closing mark stored first" grep -qF 'QUOTED(GetTrDlgBatch1,  "! אין קבצים לעיבוד",' "$work/repo/src/catalogue/messages.inc"
ok "quoted text changed in texts.txt too" grep -qxF 'GetTrDlgBatch1 "! אין קבצים לעיבוד"' "$work/repo/tests/data/texts.txt"
ok "multi-line message, a line a literal" grep -qxF '      "פעולה זו אינה תומכת בעיבוד אצווה.\r"' "$work/repo/src/catalogue/messages.inc"
ok "its second line untouched" grep -qxF '      "! רק התמונה הראשונה אוחזרה",' "$work/repo/src/catalogue/messages.inc"
ok "template with two kinds of argument" grep -qxF '      "שם הקובץ : %s\r"' "$work/repo/src/catalogue/templates.inc"
ok "numbered arguments stored in the editor's order" grep -qF 'QUOTED(GetTrDlgPrint1,  "! הרוחב חייב להיות בין %f לבין %f",' "$work/repo/src/catalogue/messages.inc"
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
# A second unit of an entry, as gettext finds it (the same msgid) and as
# hecat does (another msgid): both named at their lines.
for msgid in New "New file"; do
    cp "$work/he.po" "$work/twice.po"
    printf '\nmsgctxt "GetTrMnuNew"\nmsgid "%s"\nmsgstr "חדש"\n' "$msgid" >>"$work/twice.po"
    lines=$(grep -n '^msgctxt "GetTrMnuNew"$' "$work/twice.po" | cut -d: -f1)
    refused "a duplicated unit, msgid \"$msgid\"" "$work/twice.po" \
        "twice.po:${lines#*$'\n'}: GetTrMnuNew: appears twice in the file, first at $work/twice.po:${lines%$'\n'*}"
done
# Findings in the order of the file's lines, whichever rule found them:
# an obsolete unit early in the file, a bad specifier later, a bad rule first found by the full check.
cp "$work/he.po" "$work/order.po"
edit "$work/order.po" GetTrFmtOpacity "אטימות : %s"
edit "$work/order.po" GetTrMnuExit "יציאה!"
perl -0 -i -pe 's/\nmsgctxt "GetTrMnuOpen"\nmsgid "Open"\nmsgstr "([^"]*)"/\n#~ msgctxt "GetTrMnuOpen"\n#~ msgid "Open"\n#~ msgstr "$1"/' "$work/order.po"
refused "findings at three places" "$work/order.po" "GetTrMnuOpen: its unit is obsolete"
ok "findings at three places: in the file's line order" sh -c \
    "[ \$(grep -c '^$work/order.po:[0-9]*: ' '$work/out') -ge 3 ] && grep -o '^$work/order.po:[0-9]*' '$work/out' | cut -d: -f2 | sort -nc"
printf 'msgid "a\nmsgstr "b"\n' >"$work/broken.po"
refused "a malformed file" "$work/broken.po" "broken.po"
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

# A file exported before changes committed to the tables: at the commit it
# records GetTrMnuOpen read "פתח" and GetTrMnuSaveAs "שמור בשם". The
# translator edited GetTrMnuNew (and, for a conflict, GetTrMnuSaveAs); the
# tools translators' platforms run refresh it from today's template or
# export, keeping each unit's record with its msgstr.
rebase() {  # rebase PO ENTRY TEXT: records TEXT as the one ENTRY was exported with, at $then
    BASE="$(digest "$3") $then" ENTRY="$2" perl -0 -i -pe 's/# hecat-base: [^\n]*\n((?:#[^\n]*\n)*msgctxt "\Q$ENV{ENTRY}\E"\n)/# hecat-base: $ENV{BASE}\n$1/' "$1"
}
# digest TEXT: hecat's digest of a text, FNV-1a of its UTF-8 bytes in 64 bits
# (perl's integers wrap as the hash does; the offset basis written signed).
digest() { perl -e 'use integer; my $h = -3750763034362895579;
for (unpack("C*", $ARGV[0])) { $h ^= $_; $h *= 1099511628211; }
printf("%016x\n", $h);' "$1"; }
history() {  # fresh, in a repository whose first commit has the older texts ($then)
    fresh
    local git="git -c user.name=t -c user.email=t@t -C $work/repo"
    cp "$work/repo/src/catalogue/menus.inc" "$work/menus.now"
    sed -i 's/^\(OPEN(GetTrMnuOpen, *\)"[^"]*"/\1"פתח"/; s/^\(OPEN(GetTrMnuSaveAs, *\)"[^"]*"/\1"שמור בשם"/' "$work/repo/src/catalogue/menus.inc"
    $git init -q && $git add -A && $git commit -qm then
    cp "$work/menus.now" "$work/repo/src/catalogue/menus.inc" && $git commit -qam now
    then=$($git rev-parse HEAD~1)
    rm -rf "$work/before" && cp -r "$work/repo" "$work/before"
}
stale() {  # stale PO SAVEAS_TEXT [kept]: the file as exported at $then, edited; GetTrMnuOpen's record lost unless kept
    cp "$work/he.po" "$1"
    sed -i "s/^\"X-Hecat-Commit: .*/\"X-Hecat-Commit: $then\\\\n\"/; s/^\(# hecat-base: [0-9a-f]*\) .*/\1 $then/" "$1"
    edit "$1" GetTrMnuOpen "פתח" && rebase "$1" GetTrMnuOpen "פתח"
    [ "${3:-}" = kept ] || perl -0 -i -pe 's/# hecat-base: [^\n]*\n((?:#[^\n]*\n)*msgctxt "GetTrMnuOpen"\n)/$1/' "$1"
    edit "$1" GetTrMnuSaveAs "$2" && rebase "$1" GetTrMnuSaveAs "שמור בשם"
    edit "$1" GetTrMnuNew "קובץ חדש"
}
refresh() {  # refresh TOOL OLD NEW: the old file brought up to today's template or export
    case $1 in
    none) cp "$2" "$3" ;;
    msgmerge) msgmerge -q "$2" "$work/he.pot" -o "$3" ;;
    msgmerge-export) msgmerge -q "$2" "$work/he.po" -o "$3" ;;
    pot2po) pot2po -t "$2" "$work/he.pot" "$3" >/dev/null 2>&1 ;;
    pomerge) pomerge -t "$work/he.pot" -i "$2" -o "$3" >/dev/null 2>&1 ;;
    pomerge-export) pomerge -t "$work/he.po" -i "$2" -o "$3" >/dev/null 2>&1 ;;
    esac
}
menus_changed() { diff "$work/before/src/catalogue/menus.inc" "$work/repo/src/catalogue/menus.inc" | grep '^>'; }
(cd "$tables" && "$hecat" export --format pot --output "$work/he.pot")
ok "the template: every unit, empty msgstr, no record, no commit" sh -c "[ \$(grep -c '^msgctxt' '$work/he.pot') -eq 735 ] && \
    [ \$(grep -c '^msgstr \"\"' '$work/he.pot') -eq 736 ] && ! grep -q 'hecat-base:\|X-Hecat-Commit' '$work/he.pot'"
history
reset() { rm -rf "$work/repo" && cp -r "$work/before" "$work/repo"; }  # the repository as history() left it
# A unit whose record was lost is judged by the commit the other units
# record, whatever header the tool left (pot2po and pomerge take the
# template's); pomerge with an export as its template gives such a unit the
# export's record, so the file it refreshes keeps its records.
for tool in none msgmerge msgmerge-export pot2po pomerge pomerge-export; do
    lost=lost && [ $tool = pomerge-export ] && lost=kept
    stale "$work/stale.po" "שמור בשם" $lost
    stale "$work/conflict.po" "שמור בשם אחר" $lost
    reset
    refresh $tool "$work/stale.po" "$work/r.po"
    import "$work/r.po"
    ok "refreshed by $tool: the translator's change lands, the committed ones stay" \
        test "$status $(menus_changed)" = "0 > OPEN(GetTrMnuNew,                \"קובץ חדש\", \"New\")"
    ok "refreshed by $tool: says what it kept" grep -q 'GetTrMnuSaveAs: changed in the tables since the export' "$work/out"
    reset
    refresh $tool "$work/conflict.po" "$work/r.po"
    import "$work/r.po"
    ok "refreshed by $tool: a conflict names the three texts, the one at export from the commit" sh -c \
        "[ $status -eq 1 ] && grep -qF 'GetTrMnuSaveAs: changed both in the file and in the tables since the export: at export \"שמור בשם\", now \"שמירה בשם\", in the file \"שמור בשם אחר\"' '$work/out'"
    ok "refreshed by $tool: a conflict changes nothing" unchanged
done
# pomerge with an export as its template (the repository's copy, or an
# export of today) gives each unit the template's record of today's text
# beside the file's own: a text changed on both sides is still a conflict,
# and its message names the text at export, not today's twice.
reset
(cd "$work/repo" && "$hecat" export --format po --no-commit --output "$work/copy.po")
for template in copy.po he.po; do
    reset
    stale "$work/conflict.po" "שמור בשם אחר" kept
    pomerge -t "$work/$template" -i "$work/conflict.po" -o "$work/r.po" >/dev/null 2>&1
    import "$work/r.po"
    ok "pomerge -t $template, two records, one of today's text: a conflict naming the three texts, nothing changed" sh -c \
        "[ $status -eq 1 ] && grep -qF 'at export \"שמור בשם\", now \"שמירה בשם\", in the file \"שמור בשם אחר\"' '$work/out'"
    ok "pomerge -t $template, two records: the conflict changes nothing" unchanged
done
reset
import --prefer-tables "$work/conflict.po"
ok "--prefer-tables keeps the table's text" test "$status $(menus_changed)" = "0 > OPEN(GetTrMnuNew,                \"קובץ חדש\", \"New\")"
reset
stale "$work/conflict.po" "שמור בשם אחר"
import --prefer-file --prefer-tables "$work/conflict.po"
ok "--prefer-file and --prefer-tables together: refused" [ "$status" -eq 2 ]
import --prefer-file "$work/conflict.po"
ok "--prefer-file takes the file's text" grep -qF '"שמור בשם אחר"' "$work/repo/src/catalogue/menus.inc"
ok "an imported file is brought up to the tables: its record is its text" \
    grep -qF "hecat-base: $(digest "שמור בשם אחר")" "$work/conflict.po"
ok "an imported file is brought up to the tables: a text only they changed is today's" \
    sh -c "grep -A2 '^msgctxt \"GetTrMnuOpen\"' '$work/conflict.po' | grep -qxF 'msgstr \"פתיחה\"'"

# hecat update: the stale file brought up to today's tables three ways; the
# same for a file that records no commit (the repository's copy), whose text
# at export is found in the tables' history by its digest.
for kind in exported copy; do
    history
    if [ $kind = exported ]; then
        stale "$work/old.po" "שמור בשם אחר"
    else
        stale "$work/old.po" "שמור בשם אחר" kept
        sed -i '/^"X-Hecat-Commit: /d; s/^\(# hecat-base: [0-9a-f]*\) .*/\1/' "$work/old.po"
    fi
    (cd "$work/repo" && "$hecat" update "$work/old.po" --output "$work/updated.po") >"$work/out"
    ok "update ($kind): says what it did" grep -qxF "$work/updated.po: 735 units, 1 taken from the tables, 1 kept, 1 fuzzy, 0 obsolete" "$work/out"
    for e in GetTrMnuOpen GetTrMnuNew GetTrMnuSaveAs; do  # each unit of the updated file apart
        E="$e" perl -0 -ne 'print $1 if /\n\n((?:#[^\n]*\n)*msgctxt "\Q$ENV{E}\E"\n(?:[^\n]+\n)*)/' "$work/updated.po" >"$work/$e.unit"
    done
    ok "update ($kind): a unit only the tables changed takes today's text" grep -qxF 'msgstr "פתיחה"' "$work/GetTrMnuOpen.unit"
    ok "update ($kind): the translator's change stays, not fuzzy" sh -c "grep -qxF 'msgstr \"קובץ חדש\"' '$work/GetTrMnuNew.unit' && ! grep -q fuzzy '$work/GetTrMnuNew.unit'"
    # settles WHEN: the unit changed on both sides is fuzzy with what settles
    # it, the English it was translated from as previous text, the Hebrew at
    # export and today's in hecat's comments
    settles() {
        E=GetTrMnuSaveAs perl -0 -ne 'print $1 if /\n\n((?:#[^\n]*\n)*msgctxt "\Q$ENV{E}\E"\n(?:[^\n]+\n)*)/' "$work/updated.po" >"$work/unit"
        while IFS= read -r line; do
            ok "update ($kind), $1: changed on both sides: $line" grep -qxF -- "$line" "$work/unit"
        done <<EOF
#, fuzzy
#| msgctxt "GetTrMnuSaveAs"
#| msgid "Save as"
# hecat-was: "שמור בשם"
#. Changed in the tables since this file was made: the tables now read "שמירה בשם". This file's text is kept and marked fuzzy: settle it, then remove the fuzzy mark.
msgstr "שמור בשם אחר"
EOF
    }
    settles "after the update"
    ok "update ($kind): msgfmt -c accepts the file" msgfmt -c -o /dev/null "$work/updated.po"
    import "$work/updated.po"
    ok "update ($kind): the file imports, its fuzzy unit waiting" sh -c "[ $status -eq 0 ] && grep -q 'GetTrMnuSaveAs: fuzzy: skipped' '$work/out'"
    ok "update ($kind): the import takes the translator's change alone" test "$(menus_changed)" = "> OPEN(GetTrMnuNew,                \"קובץ חדש\", \"New\")"
    settles "after the import"
done
ok "update (copy): the file still records no commit and no date" sh -c \
    "! grep -q '^\"X-Hecat-Commit\|^# hecat-base: [0-9a-f]* ' '$work/updated.po' && grep -qxF '\"POT-Creation-Date: \\n\"' '$work/updated.po'"

# A file of an older release records nothing: a unit that reads as its
# entry did at a commit of the tables' history is taken as unchanged since,
# so only what the translator typed lands (GetTrMnuOpen and GetTrMnuSaveAs
# read as they did at $then).
history
grep -v 'hecat-base\|X-Hecat' "$work/he.po" >"$work/release.po"  # as exported at $then, which the build now refuses
edit "$work/release.po" GetTrMnuOpen "פתח" && edit "$work/release.po" GetTrMnuSaveAs "שמור בשם"
edit "$work/release.po" GetTrMnuNew "קובץ חדש"
(cd "$work/repo" && "$hecat" update "$work/release.po" --output "$work/release-updated.po") >"$work/out"
ok "a file of an older release updated: its old texts take today's, the translator's waits fuzzy" \
    grep -qxF "$work/release-updated.po: 735 units, 2 taken from the tables, 0 kept, 1 fuzzy, 0 obsolete" "$work/out"
import "$work/release.po"
ok "a file of an older release imported: exactly the translator's edit lands" \
    test "$status $(menus_changed)" = "0 > OPEN(GetTrMnuNew,                \"קובץ חדש\", \"New\")"

# A message of two lines changed in the file and in the tables: the import's
# conflict and the update's note show its line break as the mark hecat list
# uses, so no line hecat prints carries a control character and the updated
# file stays one gettext reads.
fresh
git="git -c user.name=t -c user.email=t@t -C $work/repo"
$git init -q && $git add -A && $git commit -qm then
(cd "$work/repo" && "$hecat" export --format po --output "$work/multi.po")
reword "$work/multi.po" GetTrDlgMain4 "להשתמש" "לעבור"
sed -i 's/להשתמש בתצורת"/להשתמש כעת בתצורת"/' "$work/repo/src/catalogue/messages.inc" "$work/repo/tests/data/texts.txt"
$git commit -qam now && rm -rf "$work/before" && cp -r "$work/repo" "$work/before"
import "$work/multi.po"
ok "a multi-line conflict: refused, its texts shown with the line-break mark and no control character" sh -c \
    "[ $status -ne 0 ] && grep -q 'GetTrDlgMain4.*בשקיפות⏎האם' '$work/out' && ! LC_ALL=C grep -q '[[:cntrl:]]' '$work/out'"
$git config core.fsmonitor "$work/monitor.sh" && printf '#!/bin/sh\ntouch "%s/monitor-ran"\n' "$work" >"$work/monitor.sh" && chmod +x "$work/monitor.sh"
(cd "$work/repo" && "$hecat" update "$work/multi.po" >"$work/out" 2>&1)
ok "a multi-line conflict updated: msgfmt -c accepts the file, the note on one comment line" sh -c \
    "msgfmt -c -o /dev/null '$work/multi.po' && grep -q '^#\\. Changed in the tables.*בשקיפות⏎האם ברצונך להשתמש כעת' '$work/multi.po'"
(cd "$work/repo" && "$hecat" export --format po --output "$work/monitored.po" && "$hecat" import "$work/monitored.po") >/dev/null 2>&1
ok "the checkout's file-system monitor never runs: git is asked with it off" test ! -e "$work/monitor-ran"
# An English gloss whose explanation holds a line break would add lines to
# the file: the row is refused where it stands, and nothing is exported.
fresh
sed -i 's/^\(OPEN(GetTrMnuNew, *"[^"]*", *\)"New")/\1"New (the first\\n#~ msgid \\"injected\\")")/' "$work/repo/src/catalogue/menus.inc"
(cd "$work/repo" && "$hecat" export --format po --output "$work/gloss.po") 2>"$work/out"
ok "a line break in a gloss: refused at its row, nothing exported" sh -c \
    "[ ! -e '$work/gloss.po' ] && grep -q 'menus.inc:11: GetTrMnuNew: cannot be read: a line break in the English' '$work/out'"

# A unit with 5,000 records, each of another commit, as a broken merge tool
# might leave it: only its first 16 are read (the rest said in one warning),
# each commit is asked of git once and all through one git process, so the
# import and the update take seconds, not minutes, and start git a few times.
history
mkdir -p "$work/bin"
printf '#!/bin/sh\necho >>"%s/git-calls"\nexec "%s" "$@"\n' "$work" "$(command -v git)" >"$work/bin/git" && chmod +x "$work/bin/git"
cp "$work/he.po" "$work/records.po"
edit "$work/records.po" GetTrMnuNew "קובץ חדש"
perl -0 -i -pe 's/(# hecat-base: [^\n]*\n)((?:#[^\n]*\n)*msgctxt "GetTrMnuNew"\n)/$1 . join("", map { sprintf("# hecat-base: %016x %040x\n", $_, $_) } 1 .. 5000) . $2/e' "$work/records.po"
for command in import update; do  # GetTrMnuNew changed on both sides: its text at export is looked for
    reset && rm -f "$work/git-calls" && cp "$work/records.po" "$work/r.po"
    started=$(date +%s%N)
    (cd "$work/repo" && PATH="$work/bin:$PATH" "$hecat" $command "$work/r.po") >"$work/out" 2>&1
    status=$? ms=$((($(date +%s%N) - started) / 1000000)) calls=$(wc -l <"$work/git-calls")
    ok "5,000 records on a unit, hecat $command: done within 10 s ($ms ms), git started $calls times, one warning" sh -c \
        '[ $1 -le 1 ] && [ $2 -lt 10000 ] && [ $3 -le 4 ] && [ "$(grep -c "GetTrMnuNew: 4985 records of the text at export ignored" "$4")" -eq 1 ]' \
        sh $status $ms $calls "$work/out"
done

# The header is the translator's, their tool's and their platform's: an
# import and an update keep its comments and fields, and set only hecat's
# own and those msgmerge takes from the template.
for command in import update; do
    fresh
    sed -e '1i # Dana Levi <dana@example.org>, 2026.' -e 's/^"POT-Creation-Date: .*/"POT-Creation-Date: 2001-01-01 00:00+0000\\n"/' \
        -e 's/^"PO-Revision-Date: .*/"PO-Revision-Date: 2026-05-05 10:00+0300\\n"/' -e 's/^"Last-Translator: .*/"Last-Translator: Dana Levi <dana@example.org>\\n"/' \
        -e 's/^"Language-Team: .*/"Language-Team: Hebrew <he@example.org>\\n"/' -e 's/^"X-Generator: .*/"X-Generator: Poedit 3.4\\n"/' \
        -e 's/^"X-Hecat-Units: .*/"X-Hecat-Tables: stale\\n"\n"Plural-Forms: nplurals=2; plural=(n != 1);\\n"\n&/' "$work/he.po" >"$work/header.po"
    edit "$work/header.po" GetTrMnuNew "קובץ חדש"
    if [ $command = import ]; then import "$work/header.po"; else (cd "$work/repo" && "$hecat" update "$work/header.po"); fi
    while IFS= read -r line; do
        ok "$command keeps the header: $line" grep -qxF -- "$line" "$work/header.po"
    done <<EOF
# Dana Levi <dana@example.org>, 2026.
"PO-Revision-Date: 2026-05-05 10:00+0300\\n"
"Last-Translator: Dana Levi <dana@example.org>\\n"
"Language-Team: Hebrew <he@example.org>\\n"
"Plural-Forms: nplurals=2; plural=(n != 1);\\n"
"X-Generator: Poedit 3.4\\n"
$(grep '^"POT-Creation-Date: \|^"X-Hecat-Commit: \|^"X-Hecat-Units: ' "$work/he.po")
EOF
    ok "$command drops an X-Hecat field it does not set" sh -c "! grep -q 'X-Hecat-Tables' '$work/header.po'"
done

# The translators' copies in the repository follow the tables: the template
# is the export's, and hecat update would leave po/he.po as it is, which
# holds no translation the tables lack (import it first).
"$hecat" export --format pot --no-commit --output "$work/repo.pot"
ok "po/DLLTranslation_HE.pot follows the tables (else run ./dev build and commit po/)" cmp -s "$work/repo.pot" "$source_dir/po/DLLTranslation_HE.pot"
cp "$source_dir/po/he.po" "$work/repo-he.po"
(cd "$source_dir" && "$hecat" update "$work/repo-he.po")
ok "po/he.po follows the tables (else run ./dev build and commit po/)" cmp -s "$work/repo-he.po" "$source_dir/po/he.po"
(cd "$source_dir" && "$hecat" import --dry-run po/he.po) >"$work/out" 2>&1
ok "po/he.po holds no translation waiting (else hecat import po/he.po, ./dev build, commit)" \
    grep -q '^[0-9]* units read, 0 texts would change in 0 files, 0 skipped' "$work/out"

# Workflow options: a dry run, a subset on purpose, what the file says of itself.
fresh
cp "$work/he.po" "$work/one.po"
edit "$work/one.po" GetTrMnuNew "קובץ חדש"
cp "$work/one.po" "$work/one.kept"
import --dry-run "$work/one.po"
ok "--dry-run: says what would change, writes nothing" sh -c "[ $status -eq 0 ] && grep -qF 'GetTrMnuNew: \"חדש\" becomes \"קובץ חדש\"' '$work/out' && \
    grep -q 'nothing written' '$work/out' && cmp -s '$work/one.po' '$work/one.kept'" && ok "--dry-run: no table changed" unchanged
msggrep -J -e '^GetTrMnuNew$' -o "$work/subset.po" "$work/one.po"
refused "a subset without --partial" "$work/subset.po" "GetTrBtnOk: has no unit in the file, which holds 1 unit of the 735"
import --partial "$work/subset.po"
ok "--partial imports a subset" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
cp "$work/he.po" "$work/obsolete.po"
perl -0 -i -pe 's/\nmsgctxt "GetTrMnuOpen"\nmsgid "Open"\nmsgstr "([^"]*)"/\n#~ msgctxt "GetTrMnuOpen"\n#~ msgid "Open"\n#~ msgstr "$1"/' "$work/obsolete.po"
refused "an obsolete unit" "$work/obsolete.po" "obsolete.po:$(grep -n '^#~ msgctxt "GetTrMnuOpen"' "$work/obsolete.po" | cut -d: -f1): GetTrMnuOpen: its unit is obsolete (#~)"
fresh
sed 's/^msgid "New"$/msgid "New file"/' "$work/one.po" >"$work/msgid.po"
import "$work/msgid.po"
ok "an edited msgid is reported" grep -qF 'GetTrMnuNew: its msgid, the English, is "New file" where the tables say "New"' "$work/out"
ok "a unit names the entries that must read the same with it" \
    sh -c "grep -B8 '^msgctxt \"GetTrMnuPrint\"' '$work/he.po' | grep -qxF '#. Must read the same as GetTrBtnPrint: change them together.'"

fresh
grep -v 'X-Hecat-\|hecat-base' "$work/he.po" >"$work/bare.po"
edit "$work/bare.po" GetTrMnuNew "קובץ חדש"
import "$work/bare.po"
ok "a file with no record imports as before" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
ok "a file with no record says conflicts cannot be told" grep -q 'no record of the tables' "$work/out"
cp "$work/he.po" "$work/lost.po"
perl -0 -i -pe 's/# hecat-base: [^\n]*\n((?:#[^\n]*\n)*msgctxt "GetTrMnuNew"\n)/$1/' "$work/lost.po"
edit "$work/lost.po" GetTrMnuNew "קובץ חדש"
refused "a unit that lost its record in a file that has them" "$work/lost.po" "GetTrMnuNew: has no record of the text it was exported from"
import --prefer-file "$work/lost.po"
ok "a unit that lost its record: --prefer-file takes the file's text" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"

# Files as translators' tools and mishaps leave them.
fresh
cp "$work/he.po" "$work/r.po"
edit "$work/r.po" GetTrDlgBatch1 'שורה\rשנייה !'
sed -i 's/\\n/\\r/g' "$work/r.po"
import --change-quoted "$work/r.po"
ok "an older file's \\r still imports" grep -qF 'QUOTED(GetTrDlgBatch1,  "שורה\r! שנייה",' "$work/repo/src/catalogue/messages.inc"
fresh
printf '\xEF\xBB\xBF' | cat - "$work/he.po" >"$work/bom.po"
edit "$work/bom.po" GetTrMnuNew "קובץ חדש"
import "$work/bom.po"
ok "a byte order mark is passed over" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
# Inputs refused in one line (and the count line), nothing changed: another
# charset or encoding, a file too large, no unit, cut short, a binary.
iconv -f UTF-8 -t CP1255 "$work/he.po" | sed 's/charset=UTF-8/charset=windows-1255/' >"$work/cp1255.po"
iconv -f UTF-8 -t CP1255 "$work/he.po" >"$work/cp1255-undeclared.po"
iconv -f UTF-8 -t UTF-16 "$work/he.po" >"$work/utf16.po"
iconv -f UTF-8 -t UTF-16LE "$work/he.po" >"$work/utf16le.po"
{ cat "$work/he.po"; yes '# padding padding padding padding padding padding padding padding' | head -c 5000000; } >"$work/large.po"
: >"$work/empty.po"
head -c 200000 "$hecat" >"$work/binary.po"  # a program, cut below the size limit (an ASan build's is past it)
head -c 100000 "$work/he.po" >"$work/cut.po"
printf '\nmsgid "Stray"\nmsgstr "x"\n' | cat "$work/he.po" - >"$work/noctx.po"
perl -0 -pe 's/(msgctxt "GetTrMnuNew"\nmsgid "New"\n)msgstr "[^"]*"\n/$1msgid_plural "News"\nmsgstr[0] "x"\nmsgstr[1] "קבצים חדשים"\n/' \
    "$work/he.po" >"$work/plural.po"
while IFS='|' read -r what file says; do
    refused "$what" "$file" "$says"
    ok "$what: one line" [ "$(wc -l <"$work/out")" -eq 2 ]
done <<EOF
a file in Windows-1255|$work/cp1255.po|cp1255.po:18: is in the charset windows-1255; save it as UTF-8
a file in Windows-1255 that does not say so|$work/cp1255-undeclared.po|is not UTF-8
a file in UTF-16|$work/utf16.po|utf16.po: is in UTF-16 or UTF-32; save it as UTF-8
a file in UTF-16 without a byte order mark|$work/utf16le.po|is in UTF-16
a file larger than any PO file of the catalogue|$work/large.po|is larger than 4 MiB
a file that never ends|/dev/zero|is larger than 4 MiB
an empty file|$work/empty.po|holds no unit
a binary file|$work/binary.po|is not UTF-8
a unit without msgctxt|$work/noctx.po|noctx.po:$(grep -n '^msgid "Stray"' "$work/noctx.po" | cut -d: -f1): a unit without msgctxt
a unit with plural forms|$work/plural.po|plural.po:$(grep -n '^msgctxt "GetTrMnuNew"' "$work/plural.po" | cut -d: -f1): GetTrMnuNew: has plural forms
EOF
refused "a file cut short" "$work/cut.po" "cut short"

# The zero byte however a string writes it (gettext keeps the low byte of a
# longer escape), refused naming the line; in a comment it is only text.
for zero in '\0' '\x00' '\000' '\400' '\x100' '\x1000' raw; do
    cp "$work/he.po" "$work/nul.po"
    edit "$work/nul.po" GetTrMnuCloseAll "סגירת$zero כל החלונות"
    [ "$zero" = raw ] && perl -pi -e 's/סגירתraw/סגירת\0/' "$work/nul.po"
    refused "the zero byte written $zero" "$work/nul.po" "nul.po:$(grep -an 'msgctxt "GetTrMnuCloseAll"' "$work/nul.po" | cut -d: -f1 | xargs expr 2 +): holds the zero byte (U+0000 NULL"
done
fresh
cp "$work/he.po" "$work/comment.po"
perl -0 -i -pe 's/\n(# hecat-base[^\n]*\n(?:#[^\n]*\n)*msgctxt "GetTrMnuNew")/\n# typed "\\0" and \\x00 here\n$1/' "$work/comment.po"
edit "$work/comment.po" GetTrMnuNew "קובץ חדש"
import "$work/comment.po"
ok "\\0 in a translator comment is only text" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"

# The copy gettext reads is in memory, never a file a killed hecat could
# leave: with no temporary folder at all, the import still reads the file.
cp "$work/he.po" "$work/memory.po" && edit "$work/memory.po" GetTrMnuNew "קובץ חדש"
fresh
TMPDIR=$work/no-such-folder import "$work/memory.po"
ok "the PO file read with no temporary folder" sh -c "[ $status -eq 0 ] && grep -qF '\"קובץ חדש\"' '$work/repo/src/catalogue/menus.inc'"

# Read once: a FIFO with a writer, and a process substitution.
cp "$work/he.po" "$work/one.po" && edit "$work/one.po" GetTrMnuNew "קובץ חדש"
fresh
mkfifo "$work/in.fifo"
cat "$work/one.po" >"$work/in.fifo" &
(cd "$work/repo" && timeout 20 "$hecat" import "$work/in.fifo") >"$work/out" 2>&1
ok "a FIFO is read once" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
fresh
(cd "$work/repo" && timeout 20 "$hecat" import <(cat "$work/one.po")) >"$work/out" 2>&1
ok "a process substitution is read once" grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc"
ok "update of a process substitution: in place refused in one line, to --output read once" bash -c \
    '! "$1" update <(cat "$2") 2>"$3" && [ $(wc -l <"$3") -eq 1 ] && grep -q "name the file to write with --output" "$3" &&
     "$1" update <(cat "$2") --output "$4" && grep -qF "msgstr \"קובץ חדש\"" "$4"' sh "$hecat" "$work/one.po" "$work/err" "$work/sub.po"

# The rules that cost nothing come first: 16 KB of short words is refused by
# its length at once; a specifier's number too long for an int is no specifier,
# and numbers that name no argument the editor passes are said to be wrong.
cp "$work/he.po" "$work/long.po"
edit "$work/long.po" GetTrDlgBatch1 "$(printf 'a %.0s' $(seq 8000))"
started=$(date +%s%N)
refused "a 16 KB text of short words" "$work/long.po" "GetTrDlgBatch1: is 16000 bytes; a message is at most 129 bytes"
ms=$((($(date +%s%N) - started) / 1000000))
# Not a measure of speed: a bound far above what any build takes (well under a
# second, 5 s under the sanitizers on a loaded machine), far below the minutes
# that laying out the text's readings before its length was checked cost.
ok "a 16 KB text of short words: refused within 30 s (took $ms ms)" [ "$ms" -lt 30000 ]
while IFS='|' read -r entry typed says; do
    cp "$work/he.po" "$work/specifier.po"
    edit "$work/specifier.po" "$entry" "$typed"
    refused "$entry typed \"$typed\"" "$work/specifier.po" "$entry: has the specifiers $says"
done <<'EOF'
GetTrFmtOpacity|אטימות : %99999999999$d%%|"%99999999999$d %%" where the editor passes "%d %%", in that order
GetTrFmtOpacity|אטימות : %4294967297$d%%|"%4294967297$d %%" where the editor passes "%d %%", in that order
GetTrFmtOpacity|אטימות : %ld%%|"%ld %%" where the editor passes "%d %%", in that order
GetTrFmtOpacity|אטימות : %d%% %s|"%d %% %s" where the editor passes "%d %%"
GetTrDlgPrint1|הרוחב חייב להיות בין %f לבין !|"%f" where the editor passes "%f %f"
GetTrFmtOpacity|אטימות : %2$d%%|"%2$d %%" where the editor passes "%d %%": its one argument, where numbered, is %1$
GetTrDlgPrint1|הרוחב חייב להיות בין %1$f לבין %f !|"%1$f %f" where the editor passes "%f %f": numbered, each of its 2 arguments
GetTrDlgPrint1|הרוחב חייב להיות בין %2$f לבין %2$f !|"%2$f %2$f" where the editor passes "%f %f": numbered, each of its 2 arguments
EOF

# The rules about how a text begins and ends speak of it as typed in the
# file, as a Hebrew reader reads it, at the unit's line in the file; a text
# changed apart from the entries that must read the same is named, not them.
while IFS='|' read -r entry typed says; do
    cp "$work/he.po" "$work/typed.po"
    edit "$work/typed.po" "$entry" "$typed"
    import --change-quoted "$work/typed.po"
    line=$(grep -n "^msgctxt \"$entry\"$" "$work/typed.po" | cut -d: -f1)
    ok "$entry typed \"$typed\": $says" sh -c '[ "$1" -eq 1 ] && grep -qF -- "$2" "$3"' sh "$status" "typed.po:$line: $entry: $says" "$work/out"
done <<'EOF'
GetTrLblLeft|שמאל.|a label ends in no mark, as a Hebrew reader reads it
GetTrLblLeft|שמאל?|a label ends in no mark, as a Hebrew reader reads it
GetTrLblLeft|!שמאל|a label begins with no mark, as a Hebrew reader reads it
GetTrLblLeft|שמאל:|only field captions end in a colon, as a Hebrew reader reads it
GetTrLblLeft|שמאל |ends with a blank, as a Hebrew reader reads it
GetTrLblLeft| שמאל|begins with a blank, as a Hebrew reader reads it
GetTrLblWidth|רוחב|a field caption is the caption and then " :", as a Hebrew reader reads it
GetTrMnuNew|חדש.|a menu caption written for this module is Hebrew letters and single blanks only
GetTrMnuNew|ח‏דש|holds U+200F RIGHT-TO-LEFT MARK at character 2
GetTrMnuNew|ח\327דש|holds the byte 0xD7 that is not UTF-8 at character 2
GetTrDlgMain2|האם ברצונך...|ends in an ellipsis, as a Hebrew reader reads it
GetTrDlgMain2|...האם ברצונך|begins with an ellipsis, as a Hebrew reader reads it
GetTrDlgMain2|האם ברצונך\nלהמשיך |a line of it ends with a blank, as a Hebrew reader reads it
GetTrFmtOpacity|אטימות : %d%%...|ends in an ellipsis, as a Hebrew reader reads it
GetTrBtnOk|אישור.|changed alone: it must read the same as GetDlgOk (its unit's comment says so): change them together
EOF
ok "texts refused as typed: no file changed" unchanged
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
# An import is all or nothing across the tables, texts.txt and the PO file it
# refreshes, whatever stops it. The PO file (two units, --partial) stands in
# the copy of the tables, so that a comparison of the copy covers it too.
msggrep -J -e '^GetTrMnuNew$' -e '^GetTrDlgBatch1$' -o "$work/part.po" "$work/two.po"
fresh_po() {  # fresh_po: fresh tables with part.po beside them as in.po
    fresh
    cp "$work/part.po" "$work/repo/in.po"
    cp "$work/part.po" "$work/before/in.po"
}
# import_part: ends the shell it runs in, so that "import_part &" gives hecat's own $!; else (import_part)
import_part() { cd "$work/repo" && exec "$hecat" import --partial --change-quoted in.po; }
one_line() {  # one_line STATUS WANTED TEXT: exit status as wanted, and one error in $work/out, holding TEXT
    [ "$1" -eq "$2" ] && [ "$(grep -c '^hecat: ' "$work/out")" -eq 1 ] && grep -q "^hecat: .*$3" "$work/out"
}
nothing_left() { [ -z "$(find "$work" -name '.hecat*')" ]; }
fresh_po
(ulimit -f 24; import_part) >"$work/out" 2>&1  # texts.txt is larger than 24 KiB, the tables and the PO file smaller
ok "out of file size: refused in one line" one_line $? 2 'File too large; no file changed'
ok "out of file size: no file changed, nothing left behind" sh -c "diff -r '$work/before' '$work/repo' >/dev/null" && nothing_left

# Stopped at each step of an import (by HECAT_TEST_STOP), and then killed
# and the next hecat command run, or let go on: first one of the changes a
# user makes without hecat (a table edited with sed -i, another branch's
# file put in place as git checkout does, the PO file saved again in place),
# or the checkout moved. No change is ever lost, and no command that
# succeeds leaves the files but the changed one other than all old or all
# new, or any file of hecat's; where finishing would lose the change, hecat
# refuses in one line and keeps its journal (killed) or puts back what it
# had replaced (let go on).
fresh_po
(import_part) >/dev/null 2>&1
cp -r "$work/repo" "$work/after"
stopped() {  # stopped PID: waits until it stops (true) or ends (false)
    local pid comm state
    while read -r pid comm state _ 2>/dev/null <"/proc/$1/stat"; do
        case $state in T) return 0 ;; Z) return 1 ;; esac
        sleep 0.01
    done
    return 1
}
messages=src/catalogue/messages.inc menus=src/catalogue/menus.inc
sed 's/"האם ברצונך לשמור שינויים לפני שתמשיך ?"/"האם לשמור את השינויים ?"/' "$work/before/$messages" >"$work/messages.other"
later() {  # later CHANGE: makes it; names the file it changes in $file
    file=none
    case $1 in
    edited) file=menus.inc && sed -i 's/"קבצים אחרונים"/"קבצים שנפתחו לאחרונה"/' "$work/repo/$menus" ;;
    branch) file=messages.inc && rm "$work/repo/$messages" && cp "$work/messages.other" "$work/repo/$messages" ;;
    saved) file=in.po && echo '# saved again' >>"$work/repo/in.po" ;;
    esac
}
kept() {  # kept CHANGE: it is there
    case $1 in
    edited) grep -qF '"קבצים שנפתחו לאחרונה"' "$work/repo/$menus" ;;
    branch) grep -qF '"האם לשמור את השינויים ?"' "$work/repo/$messages" ;;
    saved) [ "$(tail -n 1 "$work/repo/in.po")" = '# saved again' ] ;;
    esac
}
as_one() {  # as_one: "old" or "new" where the files but $file are all so and none of hecat's is left
    nothing_left || return 0
    if diff -r -x "$file" "$work/before" "$work/repo" >/dev/null; then echo old
    elif diff -r -x "$file" "$work/after" "$work/repo" >/dev/null; then echo new; fi
}
outcome() {  # outcome HOW CHANGE STATUS: old, new, refused, or wrong
    local state
    state=$(as_one)
    if ! kept "$2"; then echo wrong
    elif [ "$3" -eq 0 ]; then echo "${state:-wrong}"
    elif [ "$2" = none ] || [ "$2" = moved ] || ! one_line "$3" 2 ''; then echo wrong
    elif [ "$1" = killed ] && [ -e "$work/repo/.hecat-journal" ]; then echo refused
    elif [ "$1" = "let go on" ] && [ "$state" = old ]; then echo refused
    else echo wrong; fi
}
declare -A seen
step=1
while :; do
    for how_change in "killed none" "killed moved" "killed edited" "killed branch" "killed saved" "go branch" "go saved"; do
        how=${how_change% *} change=${how_change#* }
        [ "$how" = go ] && how="let go on"
        fresh_po
        HECAT_TEST_STOP=$step import_part >"$work/out" 2>&1 &
        pid=$!
        stopped $pid || { wait $pid; break 2; }
        if [ "$how" = killed ]; then
            kill -KILL $pid && wait $pid 2>/dev/null
            later "$change"
            [ "$change" = moved ] && mv "$work/repo" "$work/moved"
            (cd "$work/repo" 2>/dev/null || cd "$work/moved" && "$hecat" list) 2>"$work/out" >/dev/null
            status=$?
            [ "$change" = moved ] && mv "$work/moved" "$work/repo"
        else
            later "$change"
            kill -CONT $pid
            wait $pid
            status=$?
        fi
        got=$(outcome "$how" "$change" $status)
        seen["$how, $change: $got"]=$((${seen["$how, $change: $got"]:-0} + 1))
        [ "$got" = wrong ] && echo "step $step, $how after the change '$change': status $status, $(grep -m 1 '^hecat: ' "$work/out")"
    done
    step=$((step + 1))
done
summary=$(for k in "${!seen[@]}"; do echo "$k ${seen[$k]}"; done | sort | tr '\n' ';')
ok "stopped at each of $step steps, then changed: no change lost, no success over mixed files ($summary)" \
    sh -c "! echo '$summary' | grep -q wrong"
for counted in "killed, none: old" "killed, none: new" "killed, moved: old" "killed, moved: new" "killed, edited: refused" \
    "killed, branch: refused" "killed, saved: refused" "let go on, branch: refused" "let go on, saved: refused"; do
    ok "stopped at each step, $counted: seen at 3 steps or more" [ "${seen[$counted]:-0}" -ge 3 ]
done

# A journal planted by someone who can write the checkout's top folder is
# obeyed only inside the checkout: whatever state it gives, a path outside
# (absolute, through "..", through a symbolic link) is refused in one line,
# and the file it names there, and hecat's names beside it, stay as they were.
identity() { stat -c '%d:%i:%s:%.9Y' "$1"; }
for state in staging replacing undoing; do
    for target in "$work/victim" ../victim src/catalogue/../../../victim link/victim; do
        fresh
        ln -s "$work" "$work/repo/link"
        echo "the victim's" >"$work/victim" && echo "planted" >"$work/.hecat-new-victim" && echo "the victim's own" >"$work/.hecat-old-victim"
        was=$(identity "$work/victim") made=$(identity "$work/.hecat-new-victim")
        [ $state = undoing ] && was=$(identity "$work/.hecat-old-victim") made=$(identity "$work/victim")
        printf '%s\0' "hecat journal 2" "$(stat -c %d:%i "$work/repo")" $state "$target" "$was" "$made" >"$work/repo/.hecat-journal"
        (cd "$work/repo" && "$hecat" list) >"$work/out" 2>&1
        ok "a planted journal, $state $target: refused in one line, kept, nothing outside touched" sh -c \
            '[ $1 -eq 2 ] && [ "$(wc -l <"$2/out")" -eq 1 ] && grep -q "names .*victim" "$2/out" && [ -e "$2/repo/.hecat-journal" ] &&
             [ "$(cat "$2/victim" "$2/.hecat-new-victim" "$2/.hecat-old-victim")" = "$(printf "the victim'"'"'s\nplanted\nthe victim'"'"'s own")" ]' \
            sh $? "$work"
    done
done
rm -f "$work/victim" "$work/.hecat-new-victim" "$work/.hecat-old-victim"

# Two imports at once, each changing another row of one table: the second
# waits for the first, and neither change is lost.
msggrep -J -e '^GetTrMnuRecentFiles$' -o "$work/recent.po" "$work/he.po"
edit "$work/recent.po" GetTrMnuRecentFiles "קבצים שנפתחו לאחרונה"
lost=0 races=${HE_PO_RACES:-20}
for run in $(seq "$races"); do
    fresh_po
    cp "$work/recent.po" "$work/repo/recent.po"
    import_part >/dev/null 2>&1 & first=$!
    (cd "$work/repo" && "$hecat" import --partial recent.po) >/dev/null 2>&1 & second=$!
    wait $first; one=$?
    wait $second; other=$?
    ((one == 0 && other == 0)) && grep -qF '"קובץ חדש"' "$work/repo/src/catalogue/menus.inc" &&
        grep -qF '"קבצים שנפתחו לאחרונה"' "$work/repo/src/catalogue/menus.inc" &&
        cmp -s "$work/after/tests/data/texts.txt" "$work/repo/tests/data/texts.txt" || lost=$((lost + 1))
done
ok "two imports at once, $races times: both changes land every time ($lost lost)" [ "$lost" -eq 0 ]

# What hecat writes stays as the user had it: --output refuses a read-only
# file as the import does and gives up on a FIFO that nobody reads; an import
# keeps each table's owner and mode; the export records the commit of the
# checkout hecat reads, wherever it runs and whatever repository the
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
# A symbolic link committed to a checkout cannot make hecat write outside it:
# a table, the PO file an import refreshes, an update in place, an --output
# inside the checkout, through a link of the file's own or of a folder's, is
# refused in one line and the file outside kept. Elsewhere --output follows
# a link wherever it leads, and inside one that stays inside.
cp "$work/he.po" "$work/x.po" && edit "$work/x.po" GetTrMnuNew "קובץ חדש"
while IFS='|' read -r what setup command; do
    fresh
    mkdir -p "$work/repo/po" "$work/away"
    (cd "$work/repo" && eval "$setup") && rm -rf "$work/away.kept" && cp -r "$work/away" "$work/away.kept"
    (cd "$work/repo" && eval "$command") >/dev/null 2>"$work/err"
    ok "$what: refused in one line, nothing outside changed" sh -c '[ $1 -eq 2 ] && [ "$(wc -l <"$2/err")" -eq 1 ] &&
        grep -q "leads out of the checkout" "$2/err" && diff -r "$2/away" "$2/away.kept" >/dev/null' sh $? "$work"
    rm -rf "$work/away"
done <<'EOF'
hecat update in place, the file a link out|cp "$work/x.po" ../away/he.po && ln -s ../../away/he.po po/he.po|"$hecat" update po/he.po
hecat update in place, its folder a link out|cp "$work/x.po" ../away/he.po && rmdir po && ln -s ../away po|"$hecat" update po/he.po
--output inside the checkout, a link out|echo kept >../away/he.pot && ln -s ../../away/he.pot po/he.pot|"$hecat" export --format pot --output po/he.pot
an import, a table a link out|mv src/catalogue/menus.inc ../away/ && ln -s ../../../away/menus.inc src/catalogue/|"$hecat" import "$work/x.po"
an import, the PO file a link out|cp "$work/x.po" ../away/in.po && ln -s ../away/in.po in.po|"$hecat" import in.po
EOF
echo old | tee "$work/real.pot" >"$work/repo/po/inside.pot" && ln -s real.pot "$work/link.pot" && ln -s inside.pot "$work/repo/po/linked.pot"
ok "--output follows a link outside the checkout, and one inside that stays inside" sh -c \
    'cd "$1/repo" && "$2" export --format pot --output "$1/link.pot" && "$2" export --format pot --output po/linked.pot &&
     [ -L "$1/link.pot" ] && grep -q "^msgctxt" "$1/real.pot" && [ -L po/linked.pot ] && grep -q "^msgctxt" po/inside.pot' sh "$work" "$hecat"

commit=$(git -C "$source_dir" rev-parse --verify HEAD 2>/dev/null || echo unknown)
mkdir "$work/other" "$work/plain"
git -C "$work/other" init -q && git -C "$work/other" -c user.name=t -c user.email=t@t commit -q --allow-empty -m other
for where in other plain; do
    (cd "$work/$where" && GIT_DIR="$work/other/.git" "$hecat" export --format po) >"$work/$where.po"
    ok "the export from $where records the commit of the checkout hecat reads" grep -qxF "\"X-Hecat-Commit: $commit\\n\"" "$work/$where.po"
done

# Every file hecat wrote above, by export, by update or rewritten by an
# import (texts of every kind: multi-line, templates, fuzzy and obsolete
# units, changed on both sides, without a record), is one gettext reads.
for f in he.po he.pot edited.po conflict.po updated.po multi.po monitored.po; do
    ok "msgfmt -c reads $f as hecat left it" msgfmt -c -o /dev/null "$work/$f"
done

finish
