#!/usr/bin/env bash
# Two clean builds of the DLL, in two other folders, give the bytes of the
# preset's own build: no timestamp, no path, nothing of the moment.
#   reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILT_DLL
set -eu
source_dir=$1 toolchain=$2 built=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
for build in one two; do
    cmake -S "$source_dir" -B "$work/$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
    cmake --build "$work/$build" --target DLLTranslation_HE >/dev/null
    if cmp "$work/$build/DLLTranslation_HE.dll" "$built"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL the clean build in $build differs from $built"
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
