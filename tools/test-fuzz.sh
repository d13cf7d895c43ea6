#!/usr/bin/env bash
# The reliability suites of ./test: a short run of every fuzz target (libFuzzer with the
# address and undefined-behaviour sanitizers), then the whole test suite built with the
# sanitizers. Long fuzz runs: fuzz/run.sh -t SECONDS; many random machines:
# CALVENOR_RANDOM_MACHINES=100000 build-asan/tests/calvenor_tests --gtest_filter='RandomMachines*'
#   tools/test-fuzz.sh            (FUZZ_SECONDS=N for each target's run, default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-20}
jobs=${TEST_JOBS:-2}

# clang with its libFuzzer and sanitizer runtimes.
tools/setup.sh build test fuzz

echo "== fuzz targets (${seconds}s each)"
FUZZ_JOBS=$jobs fuzz/build.sh "$root/build-fuzz"
fuzzing=0
FUZZ_OUT="$root/build-fuzz" fuzz/run.sh -t "$seconds" || fuzzing=1
((fuzzing == 0)) || echo "FUZZ FINDINGS: inputs in build-fuzz/artifacts (this suite fails)"

echo "== the test suite with address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_WERROR=ON \
    -DCALVENOR_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs" >/dev/null
cd build-asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp:print_suppressions=0}
ctest --output-on-failure -j"$jobs" && exit "$fuzzing"
