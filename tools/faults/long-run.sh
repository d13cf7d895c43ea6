#!/usr/bin/env bash
# The long fault runs: tools/faults/long-run.sh [KILLS [CUTS [WRITES]]] (defaults 1000 1000
# 10000); WRITES is per process, for two and for four processes. KILLS and CUTS also set the
# hive runs: writers killed at random, and dying before each call of a commit.
set -uo pipefail
cd "$(dirname "$0")/../.."
build="${FAULTS_BUILD:-build-faults}"
[[ -f "$build/CMakeCache.txt" ]] ||
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target store_faults hive_faults >/dev/null || exit 1
faults="$build/faults/store_faults"
status=0
"$faults" kill "${1:-1000}" || status=1
"$faults" cut "${2:-1000}" || status=1
"$faults" concurrent 2 "${3:-10000}" || status=1
"$faults" concurrent 4 "${3:-10000}" || status=1
"$build/faults/hive_faults" kill "${1:-1000}" || status=1
"$build/faults/hive_faults" steps "${2:-1000}" || status=1
exit $status
