# shellcheck shell=bash
# Sourced by the script tests: a scratch directory removed at exit, and checks that count and
# print what failed. A script ends with `finish`, whose status is the run's.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

check() {  # check NAME EXPECTED ACTUAL
    if [[ "$2" == "$3" ]]; then
        passed=$((passed + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    fi
}
contains() {  # contains NAME NEEDLE HAYSTACK
    if [[ "$3" == *"$2"* ]]; then
        passed=$((passed + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  missing: %s\n  in: %s\n' "$1" "$2" "$3"
    fi
}
finish() {
    echo "$passed passed, $failures failed"
    [[ $failures -eq 0 ]]
}
