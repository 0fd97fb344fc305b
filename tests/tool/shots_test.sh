#!/usr/bin/env bash
# ./dev shots keeps every folder it is pointed at the user's: it refuses, in
# one line and with nothing written, a machine that lacks what the pictures
# need and a folder that holds anything it did not write (the root, the home
# folder and the checkout always); a relative folder is taken from where the
# command was typed; a folder it wrote before gets the new pictures and loses
# only its own old ones. The drawing itself is stood in for (HE_SHOTS_DRAW):
# what is tested is ./dev's handling of the folder.
#   shots_test.sh SOURCE_DIR
set -u
source_dir=$(cd "$1" && pwd -P)
source "$(dirname "$0")/../common/checks.sh"
dev=$source_dir/dev

# The stand-in for shots.exe: one picture, one entry.
cat >"$work/draw" <<'EOF'
#!/usr/bin/env python3
import os, struct, sys
pixel = b"\xff\xff\xff\x00"  # one white pixel, its row padded to four bytes
header = b"BM" + struct.pack("<IHHI", 54 + len(pixel), 0, 0, 54)
header += struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixel), 2835, 2835, 0, 0)
open(os.path.join(sys.argv[1], "001-stand-in.bmp"), "wb").write(header + pixel)
open(os.path.join(sys.argv[1], "index.tsv"), "w").write("001-stand-in.bmp\tA stand-in\tGetTrMnuFile\n")
EOF
chmod +x "$work/draw"
export HE_SHOTS_DRAW=$work/draw

# A folder's own entries, by name and kind: what a removal or an added file changes.
snapshot() { (cd "$1" && find . -mindepth 1 -maxdepth 1 -printf '%p %y\n' | sort); }

refused() {  # refused DESCRIPTION MESSAGE FROM DIR [ENV...]: exit 2, one line, DIR as it was
    local what=$1 message=$2 from=$3 dir=$4
    shift 4
    local before="none"
    [ ! -e "$dir" ] || [ "$dir" = / ] || before=$(snapshot "$dir")
    (cd "$from" && env "$@" "$dev" shots --output "$dir") >"$work/out" 2>"$work/err"
    local status=$?
    ok "$what: exit status 2" [ "$status" -eq 2 ]
    ok "$what: one line says why" sh -c "[ \$(wc -l <'$work/err') -eq 1 ] && grep -qF -- '$message' '$work/err'"
    if [ "$before" = none ]; then
        [ "$dir" = / ] || ok "$what: nothing written" [ ! -e "$dir" ]
    else
        ok "$what: the folder is as it was" [ "$(snapshot "$dir")" = "$before" ]
    fi
}

mkdir -p "$work/notes" "$work/elsewhere" "$work/home" "$work/here"
echo "keep me" >"$work/notes/todo.txt"
echo "mine" >"$work/here/mine.txt"
refused "no Xvfb" "no no-such-xvfb, the virtual display the pictures are drawn on: apt-get install xvfb" \
    "$work" "$work/new" HE_XVFB=no-such-xvfb
refused "no font" "no font family named \"No Such Font\"" "$work" "$work/new" "HE_SHOTS_FONT=No Such Font"
refused "an option for a font" "no font family named \"--version\"" "$work" "$work/new" HE_SHOTS_FONT=--version
refused "a drawing that fails" "the stand-in for the drawing failed" "$work" "$work/new" HE_SHOTS_DRAW=false
refused "a folder with notes" "holds what ./dev shots did not write (todo.txt)" "$work" "$work/notes"
ok "a folder with notes: the notes kept" grep -qx "keep me" "$work/notes/todo.txt"
refused "the folder the command is typed in" "holds what ./dev shots did not write (mine.txt)" "$work/here" .
refused "the checkout" "holds this checkout" "$work" "$source_dir"
refused "a folder holding the checkout" "holds this checkout" "$source_dir" ..
refused "the home folder, even empty" "the home folder" "$work" "$work/home" HOME="$work/home"
refused "the root" "the root" "$work" /

# A relative folder is taken from where the command was typed.
(cd "$work/elsewhere" && "$dev" shots --output pictures) >"$work/out" 2>&1
ok "a relative folder: written where the command was typed" [ -f "$work/elsewhere/pictures/001-stand-in.png" ]
ok "a relative folder: not taken from the checkout" [ ! -e "$source_dir/pictures" ]
ok "a relative folder: its pictures.tsv names the PNG file written" \
    grep -qx $'001-stand-in.png\tA stand-in\tGetTrMnuFile' "$work/elsewhere/pictures/pictures.tsv"
ok "a relative folder: the pictures and their pages, nothing else" \
    [ "$(ls -A "$work/elsewhere/pictures" | tr '\n' ' ')" = "001-stand-in.png index.html pictures.tsv " ]

# A folder an earlier run wrote: its old pictures go, the new ones come.
touch "$work/elsewhere/pictures/099-old.png"
(cd "$work/elsewhere/pictures" && "$dev" shots --output .) >"$work/out" 2>&1
ok "a folder shots wrote, from inside it: the new pictures replace the old" \
    [ "$(ls -A "$work/elsewhere/pictures" | tr '\n' ' ')" = "001-stand-in.png index.html pictures.tsv " ]
finish
