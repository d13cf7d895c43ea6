#!/usr/bin/env bash
# Prints the benchmark figures with the machine they were measured on: registry layer costs
# against the SQLite floor, the same on an XP installation's hives (a click's durable write,
# opening and the full load), start-up (headless, and to the window mapped under Xvfb), peak
# memory, and the size of the executables. Figures only; nothing here passes or fails.
#   tools/bench.sh [REPEATS]   (default 300 for the layer, 30 for start-ups)
# With BENCH_BEFORE=REV, the program as it was at commit REV is built in a worktree of its own
# (build-bench-before/) and measured in the same run beside today's: the registry layer one
# after the other, start-ups interleaved, so a change is seen before and after under one load.
set -euo pipefail
cd "$(dirname "$0")/.."
repeats="${1:-300}"
build="${BENCH_BUILD:-build-bench}"
tools/setup.sh build bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target calvenor bench_registry bench_hive bench_hive_engine \
    bench_journal bench_hive_clicks bench_window bench_pictures floor_fltk make_xp_installation \
    >/dev/null
before="${BENCH_BEFORE:-}"
before_tree="build-bench-before/tree"
if [[ -n $before ]]; then
    before=$(git rev-parse --short "$before^{commit}")
    if [[ -d $before_tree ]]; then
        git -C "$before_tree" checkout -q --detach "$before"
    else
        git worktree add -q --detach "$before_tree" "$before"
    fi
    cmake -S "$before_tree" -B build-bench-before/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-bench-before/linux -j2 --target calvenor bench_registry >/dev/null
fi

echo "== machine"
echo "cpus: $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "kernel: $(uname -sr); $(sqlite3 --version 2>/dev/null | cut -d' ' -f1 || true)"
echo "store folder file system: $(df -T /tmp | awk 'NR==2 {print $2}')"

echo "== registry layer (median of $repeats)"
"$build/bench/bench_registry" "$repeats"
if [[ -n $before ]]; then
    echo "== registry layer at $before (median of $repeats)"
    build-bench-before/linux/bench/bench_registry "$repeats"
fi

echo "== pictures, drawn when first shown (median of 20)"
"$build/bench/bench_pictures" 20 | tail -1

echo "== an XP installation's hives (--windows), SOFTWARE of about 10 MB (median of 30)"
echo "hive folder file system: $(df -T /var/tmp | awk 'NR==2 {print $2}')"
"$build/bench/bench_hive" 30
"$build/bench/bench_journal" 50

echo "== the hive engine in memory, on a hive of 50 KB and one of 73 MB"
"$build/bench/bench_hive_engine" 73

echo "== 100 clicks on one check box through the program (--windows --headless, best of 3)"
"$build/bench/bench_hive_clicks" "$build/calvenor" 100

work=$(mktemp -d)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
"$build/calvenor" --store "$work/seeded.db" --import data/seed.reg

echo "== start-up (median of 30 runs; peak memory is the largest maximum RSS)"
headless=("$build/calvenor")
[[ -z $before ]] || headless+=("build-bench-before/linux/calvenor")
python3 - "$work/seeded.db" "${headless[@]}" <<'PY'
import os, subprocess, sys, time, statistics
db, exes = sys.argv[1], sys.argv[2:]
times, rss = {e: [] for e in exes}, {e: [] for e in exes}
for run in range(32):
    for exe in exes:  # interleaved, so that the machine's load touches each alike
        start = time.perf_counter()
        p = subprocess.Popen([exe, "--headless", "--store", db], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(p.pid, 0)
        if run >= 2:
            times[exe].append((time.perf_counter() - start) * 1000)
            rss[exe].append(usage.ru_maxrss / 1024)
for exe in exes:
    t = times[exe]
    print(f"{exe}: headless, exec to end of the load sequence and exit: median "
          f"{statistics.median(t):.1f} ms (min {min(t):.1f}, max {max(t):.1f}); peak memory "
          f"{max(rss[exe]):.1f} MB  targets < 20 ms, < 15 MB")
PY

echo "== start-up on an XP installation's hives, SOFTWARE of about 10 MB (median of 30 runs)"
"$build/tests/make_xp_installation" "$work/WINDOWS" 10000
python3 - "$build/calvenor" "$work/WINDOWS" <<'PY'
import os, subprocess, sys, time, statistics
exe, windows = sys.argv[1], sys.argv[2]
times, rss = [], []
for _ in range(32):
    start = time.perf_counter()
    p = subprocess.Popen([exe, "--headless", "--windows", windows], stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    times.append((time.perf_counter() - start) * 1000)
    rss.append(usage.ru_maxrss / 1024)
times = times[2:]
print(f"headless --windows, exec to end of the load sequence and exit: median "
      f"{statistics.median(times):.1f} ms (min {min(times):.1f}, max {max(times):.1f}); "
      f"peak memory {max(rss):.1f} MB  target < 200 ms")
PY

# Start-up to the window, each program beside its toolkit's floor (a bare tabbed window of
# the same size), run interleaved on one X server: the Linux window, and the Windows window
# under Wine, with Wine's own winecfg as a peer, in every mode this machine runs: the i686
# build under 32-bit Wine where the kernel runs 32-bit programs, and the x86_64 build under
# 64-bit Wine. Each mode has its prefix and its Wine server, whose services are started before
# the first measured run. Each group is run on its own, its Wine server ended after it: Wine's
# background work after a program ends fell on whatever ran next, the other toolkit's runs too.
Xvfb -noreset -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.05
done
DISPLAY=":$(head -1 "$work/display")"
export DISPLAY
programs=("calvenor|Calvenor XP|floor FLTK|$build/calvenor --store $work/seeded.db"
          "floor FLTK|Floor FLTK||$build/bench/floor/floor_fltk")
[[ -z $before ]] || programs+=("calvenor at $before|Calvenor XP|floor FLTK,calvenor|build-bench-before/linux/calvenor --store $work/seeded.db")
window_runs() { "$build/bench/bench_window" --runs "${WINDOW_RUNS:-20}" --idle 10 "$@"; }
echo "== start-up to the window mapped and painted (Xvfb), each beside its floor; idle CPU with the window open"
echo "-- the Linux window"
window_runs "${programs[@]}"
# shellcheck source=tools/wine-mode.sh
source tools/wine-mode.sh
wine_modes=(win64)
if runs_32bit; then wine_modes=(win32 win64); fi
wbuilds=()
for wine_mode in "${wine_modes[@]}"; do
    # shellcheck source=tools/wine-mode.sh
    CALVENOR_WINE_MODE=$wine_mode source tools/wine-mode.sh
    if ! tools/setup.sh "wine${mode#win}" >/dev/null || ! "$loader" --version >/dev/null 2>&1; then
        echo "(no $mode Wine here: the Windows window is not measured in that mode)"
        continue
    fi
    wbuild="build-bench-$arch"
    cmake -S . -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCALVENOR_TESTS=OFF >/dev/null
    cmake --build "$wbuild" -j2 --target CalvenorXP floor_win32 >/dev/null
    if [[ -n $before ]]; then
        cmake -S "$before_tree" -B "build-bench-before/$arch" \
            -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
            -DCALVENOR_TESTS=OFF >/dev/null
        cmake --build "build-bench-before/$arch" -j2 --target CalvenorXP >/dev/null
    fi
    wine_env=(env WINELOADER="$loader" WINEPREFIX="$PWD/$wbuild/wineprefix" WINEARCH="$winearch"
              WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")
    (
        export "${wine_env[@]:1}"
        if [[ ! -f $WINEPREFIX/system.reg ]]; then
            make_xp_prefix
            "$loader" regedit /s data/seed.reg
            wineserver -w
        fi
        wineserver -k 2>/dev/null || true
        wineserver -w
        wineserver -p </dev/null >/dev/null 2>&1
        "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1
    )
    wbuilds+=("$wbuild")
    run="${wine_env[*]} $loader"
    programs=("CalvenorXP.exe ($mode)|Calvenor XP|floor Win32 ($mode),winecfg ($mode)|$run $wbuild/CalvenorXP.exe"
               "floor Win32 ($mode)|Floor Win32||$run $wbuild/bench/floor/floor_win32.exe"
               "winecfg ($mode)|Wine configuration||$run winecfg")
    [[ -z $before ]] || programs+=("CalvenorXP.exe ($mode) at $before|Calvenor XP|floor Win32 ($mode),CalvenorXP.exe ($mode)|$run build-bench-before/$arch/CalvenorXP.exe")
    echo "-- the Windows window, $mode mode ($arch build)"
    status=0
    window_runs "${programs[@]}" || status=$?
    WINEPREFIX="$PWD/$wbuild/wineprefix" wineserver -k 2>/dev/null || true
    [[ $status -eq 0 ]] || exit "$status"
done

echo "== executables"
size_line() {
    local file="$1" strip="$2"
    [[ -f "$file" ]] || return 0
    cp "$file" "$work/stripped"
    "$strip" "$work/stripped" 2>/dev/null || return 1
    printf '%s: %d bytes unstripped, %d bytes stripped\n' "$file" \
        "$(stat -c %s "$file")" "$(stat -c %s "$work/stripped")"
}
size_line "$build/calvenor" strip
for exe in build-win/CalvenorXP.exe build-win32/CalvenorXP.exe "${wbuilds[@]/%//CalvenorXP.exe}"; do
    if [[ -f "$exe" ]]; then
        # The strip of the executable's own architecture: the other refuses it.
        for s in i686-w64-mingw32-strip x86_64-w64-mingw32-strip; do
            command -v "$s" >/dev/null && size_line "$exe" "$s" && break
        done
    fi
done
echo "(linked: $(ldd "$build/calvenor" | awk '{print $1}' | grep -E 'fltk|sqlite|X11' | tr '\n' ' '))"
