#!/usr/bin/env bash
# A row that breaks a rule cannot become a DLL. For each class of rule, a copy
# of the sources with one row broken must fail to compile, compiled as the
# build compiles (through cmake/compile), and say so in one line that names
# the row's file and line, the entry and the rule; the unbroken copy must
# compile.
#   broken_rows.sh COMPILER SOURCE_DIR
set -u
compiler=$1 source_dir=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# The copy's derived files (gen/), from its export list as the build derives them.
derive() { cmake -DNAMES="$1/exports/catalogue.txt" -DARCH=native -DOUT_DIR="$1/gen" -P "$1/cmake/module_def.cmake"; }

# Compiles part of copy $1: the exports of table $2 (a family's name), or
# with "catalogue" the check of the whole catalogue; the compiler's output in
# $1.log. As in the build, the table's unit takes export.h precompiled: the
# unbroken copy's (the copies differ only in their tables and export list).
compile() {
    local copy=$work/$1 unit=$work/$1/gen/$2.cpp header=()
    if [ "$2" = catalogue ]; then
        unit=$copy/src/catalogue_check.cpp
    else
        printf '#define HE_ROW(Name, Family, Quoted, Text, English) HE_EXPORT(Name, Family, Quoted, Text, English)\n#define HE_TABLE_%s\n#include "catalogue/tables.inc"\n' "$2" >"$unit"
        header=(-Winvalid-pch -include "$work/export_pch.h")
    fi
    derive "$copy" >"$copy.log" 2>&1 &&
        "$copy/cmake/compile" "$compiler" -std=c++20 -fsyntax-only -ffile-prefix-map="$copy"=. -I"$copy/src" -I"$copy/gen" \
                              "${header[@]}" "$unit" >"$copy.log" 2>&1
}

copy_sources() {  # copy_sources NAME
    mkdir -p "$work/$1/gen"
    cp -r "$source_dir/src" "$source_dir/exports" "$source_dir/cmake" "$work/$1/"
}

# broken CASE FILE ENTRY NEW_TEXT RULE_FRAGMENT [catalogue]: gives ENTRY's row
# the text NEW_TEXT; the rule is one of its table's rows, or with "catalogue"
# one of the whole catalogue. A row's rules read that row alone, so for them
# the table keeps only the broken row, at its line (the others become blank
# lines): the compiler checks one row instead of hundreds.
broken() {
    local case=$1 file=$2 entry=$3 text=$4 rule=$5 unit=${6:-}
    copy_sources "$case"
    NEW="$text" ONLY="${unit:-$entry}" perl -i -pe '
        if (/^(QUOTED|OPEN)\((\w+),/) {
            $blank = $ENV{ONLY} ne "catalogue" && $2 ne $ENV{ONLY};
            s/^((?:QUOTED|OPEN)\('"$entry"',\s*)"(?:[^"\\]|\\.)*"/$1"$ENV{NEW}"/;
        }
        if ($blank) { $blank = !/\)\s*$/; $_ = "\n"; }  # a row ends with its ")"
        ' "$work/$case/$file"
    local line
    line=$(grep -n "($entry," "$work/$case/$file" | cut -d: -f1)
    [ -n "$unit" ] || unit=$(basename "$file" .inc)
    expect_failure "$case" "$unit" "$file:$line: $entry: $rule"
}

# Cases run two at a time; each leaves its verdict in CASE.result.
expect_failure() {  # expect_failure CASE UNIT MESSAGE
    if compile "$1" "$2"; then
        echo "FAIL $1: the broken copy compiled"
    elif [ "$(wc -l <"$work/$1.log")" -eq 1 ] && grep -qF -- "$3" "$work/$1.log"; then
        echo pass
    else
        echo "FAIL $1: not the one line '$3' but:"; head -n 3 "$work/$1.log"
    fi >"$work/$1.result"
}

copy_sources unbroken
derive "$work/unbroken" >/dev/null &&
    printf '#include "export.h"\n' >"$work/export_pch.h" &&
    "$compiler" -std=c++20 -x c++-header -I"$work/unbroken/src" -I"$work/unbroken/gen" \
                "$work/export_pch.h" -o "$work/export_pch.h.gch" ||
    { echo "FAIL export.h does not compile"; exit 1; }
if compile unbroken menus && compile unbroken catalogue; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL the unbroken copy:"; head "$work/unbroken.log"; fi

# One broken row per class of rule, in parallel pairs; the wording's rules
# name the form they expect, in Hebrew.
broken characters   src/catalogue/menus.inc GetTrMnuNew   $'ח\u200Fדש' "holds U+200F RIGHT-TO-LEFT MARK at character 2" &
broken maqaf        src/catalogue/labels.inc GetTrLblLeft $'שמ\u05BEאל' "holds U+05BE HEBREW PUNCTUATION MAQAF at character 3"
wait
broken length       src/catalogue/menus.inc GetTrMnuNew   "חדש חדש חדש חדש חדש חדש חדש" "a menu caption is 1 to 26 bytes; this one is 27" &
broken line_break   src/catalogue/menus.inc GetTrMnuCopy  'הע\rתק' "has a line break, which only templates and messages may have"
wait
broken blanks       src/catalogue/messages.inc GetTrDlgMain2 "האם  ברצונך ?" "holds two blanks in a row" &
broken marks        src/catalogue/buttons.inc GetTrBtnDel "&מחיקה" "holds an access-key &"
wait
broken open_menu    src/catalogue/menus.inc GetTrMnuNew   "חד-ש" "a menu caption written for this module is Hebrew letters and single blanks only" &
broken field        src/catalogue/labels.inc GetTrLblWidth "רוחב" "a field caption is"
wait
broken closing_mark src/catalogue/labels.inc GetTrLblLeft "! שמאל" "a label ends in no mark, as a Hebrew reader reads it" &
broken percent      src/catalogue/buttons.inc GetTrBtnDel "מחיקה %d" "holds a % but the editor fills no value into it"
wait
broken specifiers   src/catalogue/templates.inc GetTrFmtFileSize "גודל קובץ : %d" "has the specifiers" &
broken equal_texts  src/catalogue/menus.inc GetTrMnuCut   "העתק" "reads the same as another entry; entries with this text: GetTrMnuCut GetTrMnuCopy" catalogue
wait
broken shared_group src/catalogue/labels.inc GetTrLblAdjust "כוונון" "must read the same as GetTrMnuAdjust" catalogue &
broken term         src/catalogue/menus.inc GetTrMnuBlur  "טישטוש" "blur, the command is \"טשטש\" in the menu captions; this text lacks it"
wait
broken other_choice src/catalogue/menus.inc GetTrMnuBlurMore "טשטש נוסף" "more is \"יותר\" in the menu captions; this text lacks it" &
broken scoped_word  src/catalogue/menus.inc GetTrMnuNoise "רעש מסנן" "filter is \"פילטר, פילטרים\" in the menu captions, not \"מסנן\""
wait
broken example      src/catalogue/menus.inc GetTrMnuClose "סגירה" "a command captioned by an imperative; close is the example: it should read \"סגור\"" &

# The export list against the tables.
copy_sources unlisted
sed -i '/^GetTrMnuNew$/d' "$work/unlisted/exports/catalogue.txt"
expect_failure unlisted catalogue "src/catalogue/menus.inc:$(grep -n '(GetTrMnuNew,' "$source_dir/src/catalogue/menus.inc" | cut -d: -f1): GetTrMnuNew: has a row but is not in exports/catalogue.txt"
wait
# An entry named beside the tables that has no row.
copy_sources misnamed
sed -i 's/^SAME_TEXT(GetTrMnuPurge,/SAME_TEXT(GetTrMnuPurges,/' "$work/misnamed/src/catalogue/same_texts.inc"
expect_failure misnamed catalogue "GetTrMnuPurges: is named in src/catalogue/same_texts.inc but has no row in the tables"
wait

for result in "$work"/*.result; do
    if [ "$(cat "$result")" = pass ]; then passed=$((passed + 1)); else failed=$((failed + 1)); cat "$result"; fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
