#!/bin/sh
# Builds the PE version reader's fuzz target with clang (libFuzzer, address and undefined
# behaviour sanitizers) and runs it.
#   fuzz/run_pe.sh [seconds] [seed folder]
# The seed folder defaults to the fixture DLLs of a build tree (build-pe, then build).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
seeds=${2:-}
if [ -z "$seeds" ]; then
    for candidate in "$root/build-pe/tests/pe_fixtures" "$root/build/tests/pe_fixtures"; do
        if [ -d "$candidate" ]; then seeds=$candidate; break; fi
    done
fi

out=${FUZZ_OUT:-"$root/build-fuzz"}
mkdir -p "$out/corpus" "$out/artifacts"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" "$here/pe_version_fuzz.cpp" "$root/src/formats/pe/pe_version.cpp" \
    -o "$out/pe_version_fuzz"

if [ -n "$seeds" ]; then
    for f in "$seeds"/*.dll "$seeds"/*.sys; do
        [ -f "$f" ] && cp "$f" "$out/corpus/"
    done
fi
exec "$out/pe_version_fuzz" "$out/corpus" -max_total_time="$seconds" -max_len=200000 \
    -artifact_prefix="$out/artifacts/" -print_final_stats=1
