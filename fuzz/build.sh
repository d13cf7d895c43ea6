#!/bin/sh
# Builds every fuzz target with clang (libFuzzer, address and undefined-behaviour sanitizers)
# and writes their seed corpora.
#   fuzz/build.sh [build folder]        (default: build-fuzz beside the sources)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-${FUZZ_OUT:-"$root/build-fuzz"}}
jobs=${FUZZ_JOBS:-2}

cmake -S "$here" -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j"$jobs"

# Seeds: stores, exports and window walks made by the system itself ...
rm -rf "$out/seeds"
"$out/make_seeds" "$out/seeds"
# ... the command lists of the scenario tests, one file for each Run("...") ...
mkdir -p "$out/seeds/headless"
n=0
grep -rhoI --include='*.cpp' 'Run("[^"]*")' "$root"/tests | sed 's/^Run("//; s/")$//' | sort -u |
    while IFS= read -r commands; do
        n=$((n + 1))
        printf '%b\n' "$commands" >"$out/seeds/headless/test$n.txt"
    done
# ... and the PE files the tests build, when a build tree has them.
mkdir -p "$out/seeds/pe"
for tree in "$root"/build*/tests/pe_fixtures; do
    [ -d "$tree" ] || continue
    for f in "$tree"/*.dll "$tree"/*.sys; do
        [ -f "$f" ] && cp "$f" "$out/seeds/pe/"
    done
done
for target in pe regedit store headless hive; do
    echo "$target: $(ls "$out/seeds/$target" | wc -l) seeds"
done
