#!/usr/bin/env bash
# Short fault runs against the embedded store and an XP installation's hives (the long ones:
# tools/faults/long-run.sh): killed writers, power cuts, concurrent writers, and the
# program's answer to a file that is not a store. Uses the build that ./test made, else a build of its own.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${FAULTS_BUILD:-}"
if [[ -z "$build" ]]; then
    if [[ -f build/CMakeCache.txt ]]; then build=build; else build=build-faults; fi
fi
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_WERROR=ON \
        -DCALVENOR_GUI=OFF >/dev/null || exit 1
fi
cmake --build "$build" -j"$(nproc)" --target store_faults hive_faults >/dev/null || exit 1
faults="$build/faults/store_faults"
hive_faults="$build/faults/hive_faults"

passed=0
failed=0
run() {
    local name="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        failed=$((failed + 1))
    fi
}
run "50 kills" "$faults" kill 50
run "50 power cuts" "$faults" cut 50
run "2 x 1000 concurrent writes" "$faults" concurrent 2 1000
run "4 x 500 concurrent writes" "$faults" concurrent 4 500
# Hives: writers killed at random moments, and dying before each call of a commit in turn
# (logs, group record, headers, bins, flushes); each hive judged by XP's rules and the
# program's open. Power cuts after each call are replayed in the unit tests (JournalTest).
run "hives: 50 kills" "$hive_faults" kill 50
run "hives: 50 deaths inside commits" "$hive_faults" steps 50
# A control run: a writer without the journal dying in its bins must be found, or the hive
# runs prove nothing.
run "hives: the checker finds a torn hive" "$hive_faults" control 10
# The program itself under strace: a failed call (ENOSPC) or a kill at each write, flush,
# chmod, rename, link and unlink of a click and of an import touching both hives, then the
# next open; each hive judged by the index checker, reglookup and reged -x, both hives as
# before or as after, the exit status and message telling the truth. Then on ntfs-3g, where
# rename is link and unlink steps.
if [[ -x "$build/calvenor" ]] && command -v strace reglookup reged >/dev/null; then
    cmake --build "$build" -j"$(nproc)" --target make_xp_installation hive_check >/dev/null || exit 1
    for op in click import; do
        for fault in error kill; do
            run "hives: $op, $fault injected at each call" \
                python3 tools/faults/hive_inject.py "$build" --op "$op" --fault "$fault"
        done
    done
    if command -v mkntfs ntfs-3g >/dev/null && [[ -e /dev/fuse ]]; then
        run "hives on ntfs-3g: import, kill at each call" \
            python3 tools/faults/hive_inject.py "$build" --op import --fault kill --ntfs
    fi
fi

# A control run: under a disk that acknowledges syncs without writing, the cut checker must
# find acknowledged writes missing; if it does not, the power-cut runs prove nothing.
control=$(mktemp -d)
if "$faults" cut 10 --lying-disk --dir "$control" >/dev/null 2>&1; then
    echo "FAILED: the power-cut checker found nothing on a lying disk"
    failed=$((failed + 1))
else
    passed=$((passed + 1))
fi
rm -rf "$control"

# The program itself, given a file that is not a store: a message naming the file, exit 1,
# and the file left as it was.
if [[ -x "$build/calvenor" ]]; then
    dir=$(mktemp -d)
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n' >"$dir/notes.reg"
    cp "$dir/notes.reg" "$dir/before"
    out=$(echo | "$build/calvenor" --headless --store "$dir/notes.reg" 2>&1)
    code=$?
    if [[ $code -eq 1 && "$out" == *"\"$dir/notes.reg\""* ]] && cmp -s "$dir/notes.reg" "$dir/before" &&
        [[ ! -e "$dir/notes.reg-wal" ]]; then
        passed=$((passed + 1))
    else
        echo "FAILED: not a store: exit $code, \"$out\""
        failed=$((failed + 1))
    fi
    rm -rf "$dir"
fi

echo "store faults: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
