#!/usr/bin/env bash
# shots.exe draws every entry that has a text, and names for each picture
# only the entries whose control or menu item lies within it (it reads their
# rectangles back and fails naming any left out); the Filter menu, taller
# than the screen, is drawn in parts that each fit.
#   shots_drawn_test.sh SOURCE_DIR SHOTS_EXE
set -u
source_dir=$1 exe=$2
source "$(dirname "$0")/../common/checks.sh"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
mkdir "$work/pictures"
cd "$(dirname "$exe")" || exit 2
ok "the Wine prefix set up for drawing" "$source_dir/tools/wine-run" shots.exe --setup 'Z:\usr\share\wine\fonts\marlett.ttf'
"$source_dir/tools/wine-run" shots.exe "Z:${work//\//\\}\\pictures" "DejaVu Sans" >"$work/out" 2>"$work/err"
status=$?
cat "$work/out" "$work/err"
ok "drawn: exit status 0" [ "$status" -eq 0 ]
ok "drawn: no entry left out of a picture meant to show it" [ ! -s "$work/err" ]
cut -f3 "$work/pictures/index.tsv" | tr ',' '\n' | sort -u >"$work/named"
grep -vE '^(#|$)' "$source_dir/exports/catalogue.txt" | sort -u >"$work/all"
ok "every entry with a text is in a picture (GetTrFmtFileDate is empty)" \
    [ "$(comm -23 "$work/all" "$work/named")" = GetTrFmtFileDate ]
ok "the Filter menu, taller than the screen, drawn in two parts" \
    grep -qF $'\tMenu: Filter, the Hebrew word (2 of 2)\t' "$work/pictures/index.tsv"
finish
