# Sourced by the shell tests: a scratch folder removed at exit, and checks
# counted into the closing line "N passed, N failed".
work=$(mktemp -d) || exit 1  # never an empty name: the tests remove and write under it
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

ok() {  # ok DESCRIPTION COMMAND...: one check
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $what"; fi
}

finish() {  # the closing line, and the status
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
