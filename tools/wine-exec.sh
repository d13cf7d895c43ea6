#!/usr/bin/env bash
# Runs one Windows test program for ctest: wine-exec.sh LOADER PROGRAM [ARGUMENTS...].
#
# Wine's host side, a Linux process, can fail in glibc's own exit code after the Windows
# program has ended: "Inconsistency detected by ld.so: dl-fini.c: ... _dl_fini: Assertion
# ... failed!", status 127, whatever the program returned. Seen once in some thousands of
# test processes, never reproduced on demand. Then, and only then, the program runs once more
# and that run's result stands; the line saying so stays in the test's output. Every other
# status, crash or message is passed on as it came.
#
# Standard error goes to a file and is copied out after the program: a pipe would be held
# open by the Wine processes a test starts (the desktop process outlives it).
set -u
loader=$1
shift
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

for attempt in 1 2; do
    status=0
    "$loader" "$@" 2>"$errors" || status=$?
    cat "$errors" >&2
    if ((status == 127 && attempt == 1)) &&
        grep -q '^Inconsistency detected by ld\.so: dl-fini\.c' "$errors"; then
        echo "wine-exec.sh: Wine's loader failed in glibc's exit code after the program ended;" \
            "running the program again" >&2
        continue
    fi
    exit "$status"
done
