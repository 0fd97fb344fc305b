# Sourced by the scripts of ./dev's commands (tools/build, tools/test,
# tools/release, tools/pictures, tools/bench): strict mode, one line for any
# failure, and what they share: the packages a command needs, the builds,
# how Windows programs run here, and paths the user typed.
set -eEuo pipefail
caller=${HE_CALLER:-$PWD}  # where the command was typed: a relative path given is taken from here
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# No command ends in failure without saying what failed, at which line of
# which script. (Said once, by the script itself, not again by each subshell
# on the way.)
trap 'status=$?; [ "$BASHPID" != "$$" ] || echo "dev: ${BASH_SOURCE[0]#"$PWD"/}:$LINENO failed (exit $status): $BASH_COMMAND" >&2; exit $status' ERR

deps() {  # deps SET...: what tools/packages.txt lists for them that is missing, through a mirror out of step too
    tools/deps --for "$@" || exit $?  # it has said what failed
}

build() {  # build PRESET [--target T...]: its output as it goes; a failure named in one line
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null || die "configuring the $preset preset failed (CMake's message above)"
    cmake_build "the $preset preset" --preset "$preset" "$@"
}

# cmake_build WHAT ARG...: cmake --build ARG..., its output as it goes. A
# failure is named with the first line the failed step printed: the build
# makes that a broken row's rule, or the compiler's first error.
cmake_build() {
    local what=$1 log status=0 first
    shift
    log=$(mktemp)
    cmake --build "$@" 2>&1 | tee "$log" || status=$?
    # Ninja: FAILED, the command, then its output up to the next step or its
    # summary; the first error named there (a chain of "In file included
    # from" comes before it), else the output's first line.
    first=$(awk '/^FAILED: / { getline; step = 1; next }
                 step && /^(\[[0-9]+\/[0-9]+\] |ninja: )/ { exit }
                 step && !line { line = $0 }
                 step && /(^|: )(fatal )?error: / { line = $0; exit }
                 END { if (line) print line }' "$log")
    rm -f "$log"
    ((status == 0)) || die "building $what failed: ${first:-see above}"
}

die() {  # die MESSAGE: one line, exit status 2
    trap - ERR
    echo "dev: $*" >&2
    exit 2
}

# Once, at the start of every command that runs Windows programs: how the
# 32-bit ones run on this machine.
# route_word is then native, qemu or none.
route_word=""
route() {
    if [ -z "$route_word" ]; then
        local line
        line=$(tools/wine-run --route)
        route_word=${line%%:*}
        echo "dev: ${line#*: }"
    fi
    [ "$route_word" != none ]
}

# A path the user named, from the folder the command was typed in.
from_here() {  # from_here PATH
    case $1 in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s\n' "$caller/$1" ;;
    esac
}

# Debian 12's CMake (3.25) writes the build folder's path unescaped into files
# of its own, and takes a backslash in it for a separator: a checkout whose
# path holds one of " ; \ cannot be built where it is.
case $PWD in
*[\"\;\\]*) die "this checkout's path holds a \", ; or \\, under which CMake 3.25 cannot build: move or clone it to a path without them ($PWD)" ;;
esac

