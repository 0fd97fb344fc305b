#!/usr/bin/env bash
# ./dev shots refuses, in one line and with nothing written, a machine that
# lacks what the pictures need: the virtual display, the font.
#   shots_test.sh SOURCE_DIR
set -u
source_dir=$1
source "$(dirname "$0")/../common/checks.sh"
refused() {  # refused DESCRIPTION MESSAGE ENV...: exit 2, one line naming what is missing, no folder
    local what=$1 message=$2
    shift 2
    mkdir -p "$work/run"
    (cd "$source_dir" && env "$@" ./dev shots --output "$work/run/pictures") >"$work/out" 2>"$work/err"
    local status=$?
    ok "$what: exit status 2" [ "$status" -eq 2 ]
    ok "$what: one line says what is missing" sh -c "[ \$(wc -l <'$work/err') -eq 1 ] && grep -qF '$message' '$work/err'"
    ok "$what: nothing written" [ -z "$(ls -A "$work/run")" ]
}
refused "no Xvfb" "no no-such-xvfb, the virtual display the pictures are drawn on: apt-get install xvfb" HE_XVFB=no-such-xvfb
refused "no font" "no No Such Font, the UI font with Hebrew letters" "HE_SHOTS_FONT=No Such Font"
finish
