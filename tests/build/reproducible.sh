#!/usr/bin/env bash
# A clean build of the DLL elsewhere gives the bytes of the preset's own
# build: no timestamp, no path, nothing of the moment. It builds a copy of the
# sources in a folder whose name holds a blank, quotes, a dollar sign and
# Hebrew letters, into another such folder (without the double quote, under
# which CMake 3.25 cannot build; for the same reason the toolchain file is
# the checkout's).
#   reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILT_DLL
set -eu
source_dir=$1 toolchain=$2 built=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
odd="$work/sources a b'c\"d\$e עברית"
mkdir "$odd"
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$source_dir" ls-files -co --exclude-standard -z | (cd "$source_dir" && xargs -0 tar -cf - --) | tar -C "$odd" -xf -
else
    tar -C "$source_dir" --exclude=./build -cf - . | tar -C "$odd" -xf -
fi
build() {  # build NAME SOURCE_DIR BUILD_DIR
    if ! { cmake -S "$2" -B "$3" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" &&
           cmake --build "$3" --target DLLTranslation_HE; } >"$work/log" 2>&1; then
        failed=$((failed + 1))
        echo "FAIL the clean build $1 fails:"
        tail -n 5 "$work/log"
    elif cmp "$3/DLLTranslation_HE.dll" "$built"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL the clean build $1 differs from $built"
    fi
}
build "from a folder with an odd name" "$odd" "$work/build b'c\$e עברית"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
