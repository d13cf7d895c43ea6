#!/bin/bash
# Runs the fuzz targets built by fuzz/build.sh, each on its own corpus (grown from the seeds).
#   fuzz/run.sh [-t SECONDS | -r RUNS] [-j JOBS] [TARGET...]
#   fuzz/run.sh -s [TARGET...]
# TARGET is pe, writer, regedit, store, headless or hive (default: all six). Each run prints
# libFuzzer's final statistics; a finding is written to OUT/artifacts and makes the script fail.
# -s runs nothing: it prints each target's executions summed over every run logged in OUT/runs.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${FUZZ_OUT:-"$root/build-fuzz"}
limit=(-max_total_time=60)
jobs=1
sum=0
while getopts "t:r:j:s" option; do
    case $option in
        t) limit=(-max_total_time="$OPTARG") ;;
        r) limit=(-runs="$OPTARG") ;;
        j) jobs=$OPTARG ;;
        s) sum=1 ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
targets=("$@")
((${#targets[@]})) || targets=(pe writer regedit store headless hive)
for target in "${targets[@]}"; do
    case $target in
        pe | writer | regedit | store | headless | hive) ;;
        *) echo "unknown target $target" >&2; exit 2 ;;
    esac
done

# Executions counted in one run's log folder. With workers, fuzz.log repeats each worker's log
# when it ends, so only the workers' own logs are counted.
executions() {
    local logs=("$1"/fuzz-*.log)
    [[ -e ${logs[0]} ]] || logs=("$1/fuzz.log")
    cat "${logs[@]}" 2>/dev/null |
        sed -n 's/^stat::number_of_executed_units: *//p' | awk '{s += $1} END {print s + 0}'
}

if ((sum)); then
    for target in "${targets[@]}"; do
        total=0 runs=0
        for logs in "$out/runs/$target"-*/; do
            [[ -d $logs ]] || continue
            total=$((total + $(executions "$logs"))) runs=$((runs + 1))
        done
        echo "$target: $total executions in $runs runs"
    done
    exit 0
fi

status=0
for target in "${targets[@]}"; do
    case $target in
        pe) binary=pe_version_fuzz max_len=200000 ;;
        writer) binary=pe_writer_fuzz max_len=4096 ;;
        regedit) binary=regedit_fuzz max_len=16384 ;;
        store) binary=store_open_fuzz max_len=65536 ;;
        headless) binary=headless_fuzz max_len=4096 ;;
        hive) binary=hive_open_fuzz max_len=262144 ;;
    esac
    if [[ ! -x "$out/$binary" ]]; then
        echo "$out/$binary is missing: run fuzz/build.sh first" >&2
        exit 2
    fi
    corpus="$out/corpus/$target"
    mkdir -p "$corpus" "$out/artifacts/$target"
    [[ -d "$out/seeds/$target" ]] && cp -n "$out/seeds/$target"/* "$corpus/" 2>/dev/null
    echo "== $target: ${limit[*]}"
    # Each run logs in a folder of its own, so that runs side by side keep their figures apart.
    logs="$out/runs/$target-$(date +%Y%m%d-%H%M%S)-$$"
    mkdir -p "$logs"
    log="$logs/fuzz.log"
    started=$(date +%s)
    if ((jobs > 1)); then
        # Parallel workers share the corpus; each writes fuzz-N.log in the current folder.
        (cd "$logs" &&
            "$out/$binary" "$corpus" "${limit[@]}" -max_len="$max_len" -jobs="$jobs" \
                -workers="$jobs" -artifact_prefix="$out/artifacts/$target/" \
                -print_final_stats=1 >"$log" 2>&1)
    else
        "$out/$binary" "$corpus" "${limit[@]}" -max_len="$max_len" \
            -artifact_prefix="$out/artifacts/$target/" -print_final_stats=1 >"$log" 2>&1
    fi
    code=$?
    elapsed=$(($(date +%s) - started))
    execs=$(executions "$logs")
    echo "$target: exit $code, $execs executions in ${elapsed}s, corpus $(ls "$corpus" | wc -l) files"
    if ((code != 0)); then
        status=1
        grep -E 'ERROR|SUMMARY|^[a-z].*: ' "$log" | head -20
        ls "$out/artifacts/$target" | grep -E '^(crash|leak|timeout|oom)-' | head
    fi
done
exit $status
