#!/usr/bin/env bash
# A PNG of every tab of the main window and of every window the main window opens, of both
# builds: the Linux program and CalvenorXP.exe under Wine (the prefix and build that
# tools/test-windows.sh made), each on the seed machine, on a private Xvfb with no window
# manager (so without title bars).
#
#   tools/screenshots.sh OUTDIR [SCALE]
#
# Files: OUTDIR/linux-main-N.png, OUTDIR/linux-<button>.png (the window it opens), the same
# with windows- for the Wine build. The Windows build is left out, with a note, when it has not
# been built. SCALE (1 unless given: 1.25, 1.5, 2...) is the desktop's scale the Linux program
# is drawn at (FLTK_SCALING_FACTOR), which needs FLTK 1.4; the Windows build is then left out,
# as it follows Wine's DPI instead. The Linux program is build/calvenor, or that of the build
# folder SCREENSHOTS_BUILD names.
set -euo pipefail
[[ $# -eq 1 || $# -eq 2 ]] || { echo "usage: $0 OUTDIR [SCALE]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
scale=${2:-1}
[[ $scale =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "$0: the scale is a number: 1, 1.5, 2..." >&2; exit 2; }
program=$root/${SCREENSHOTS_BUILD:-build}/calvenor
if [[ $scale != 1 ]] && ! ldd "$program" | grep -q 'libfltk\.so\.1\.4'; then
    echo "$0: $program does not follow a scale: it is built with FLTK 1.3 (1.4 does)" >&2
    exit 2
fi
# units N: N of the program's units at the scale, in whole pixels.
units() { awk -v n="$1" -v s="$scale" 'BEGIN { printf "%d", n * s }'; }
export FLTK_SCALING_FACTOR=$scale
mkdir -p "$1"
out=$(cd "$1" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -noreset -displayfd 3 -screen 0 "$(units 1024)x$(units 768)x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")

# The window with this exact title, once it is on screen.
window_of() {
    local id=
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [[ -n $id ]] && break
        sleep 0.1
    done
    [[ -n $id ]] && echo "$id"
}
shoot() {  # shoot WINDOW-ID FILE, once it has been drawn
    sleep 2
    import -window "$1" "$2"
    echo "$2"
}
# Where a control of the main window lies, from the Linux program's screen record:
# "dx dy" from the window's corner to the control's centre, and the tab page it is on.
offset() {
    awk -v id="control frmMain.$1 " 'index($0, id) == 1 {
        for (i = 1; i <= NF; i++) if ($i ~ /^box=/) { split(substr($i, 5), b, ","); }
        print b[1] + b[3] / 2 - wx, b[2] + b[4] / 2 - wy }
        /^window frmMain / { for (i = 1; i <= NF; i++) if ($i ~ /^client=/) {
            split(substr($i, 8), c, ","); wx = c[1]; wy = c[2] } }' "$work/probe.txt"
}

# Each window the main window opens: the tab it is opened from, the button and its title.
secondary=(
    "-1 cmdAbout About Calvenor XP"
    "-1 cmdReset Reset Settings"
    "0 cmdWPCRSET WPCRSET Configuration"
    "2 cmdAboutA3D About A3D"
    "2 cmdDrvVerHlp Driver Version Information"
    "4 cmdEQSettings Equalizer Settings"
)

# start COMMAND...: the program afresh, once its main window is up (sets pid and main).
start() {
    "$@" >/dev/null 2>&1 &
    pid=$!
    pids+=("$pid")
    main=$(window_of "Calvenor XP") || { echo "$name: no main window" >&2; return 1; }
    sleep 1
}
finish() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
# page N: the main window's tab page N, by a click on the first header and the arrow keys.
page() {
    xdotool mousemove --window "$main" "$(units 20)" "$(units 16)" click 1
    for ((i = 0; i < $1; i++)); do xdotool key Right; sleep 0.2; done
}
click() {  # click CONTROL of the main window
    local x y
    read -r x y <<<"$(offset "$1")"
    xdotool mousemove --window "$main" "${x%.*}" "${y%.*}" click 1
}

# photograph NAME COMMAND...: the program started afresh for each picture.
photograph() {
    local name=$1
    shift
    local pid main x y
    start "$@" || return 1
    page 0
    for tab in 0 1 2 3 4; do
        [[ $tab -eq 0 ]] || xdotool key Right
        shoot "$main" "$out/$name-main-$tab.png"
    done
    finish
    for entry in "${secondary[@]}"; do
        read -r tab button title <<<"$entry"
        start "$@" || return 1
        [[ $tab -lt 0 ]] || page "$tab"
        click "$button"
        if id=$(window_of "$title"); then
            shoot "$id" "$out/$name-$button.png"
        else
            echo "$name: $title did not open" >&2
        fi
        finish
    done
    # Quad Settings: asked first (Yes is the default), then a warning over it is closed.
    start "$@" || return 1
    page 2
    click cmdQuad
    sleep 1
    xdotool key Return
    if id=$(window_of "Quad Settings"); then
        # No window manager gives the warning the keyboard: it is given it here.
        if box=$(window_of "Information"); then
            xdotool windowfocus "$box"
            sleep 0.3
            xdotool key Return
        fi
        shoot "$id" "$out/$name-cmdQuad.png"
    else
        echo "$name: Quad Settings did not open" >&2
    fi
    finish
    # The AC97 mixer location window: a double click on the mixer among the tools, which
    # asks where the mixer is when no place is stored. "$icons" holds the icons' centres.
    start "$@" || return 1
    read -r x y <<<"$("$icons" | sed -n 4p)"
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    if id=$(window_of "AC97 Mixer Location"); then
        shoot "$id" "$out/$name-ListView1-mixer.png"
    else
        echo "$name: the AC97 mixer location window did not open" >&2
    fi
    finish
}

# The centres of the tools' icons, one "x y" a line, on the screen, from a screen record.
centres() {
    awk '/^control frmMain.ListView1 / {
        for (i = 1; i <= NF; i++) if ($i ~ /^parts=/) { v = substr($i, 7); gsub(/"/, "", v) }
        n = split(v, p, ";")
        for (i = 1; i <= n; i++) { split(p[i], b, ","); print int(b[1] + b[3] / 2), int(b[2] + b[4] / 2) }
    }'
}
linux_icons() { centres <"$work/probe.txt"; }
# Under Wine the places come from the suite's helper, which reads the program's windows.
windows_icons() {
    printf 'screen\nquit\n' | /usr/lib/wine/wine64 "$root/build-win64/tests/wine_input_helper.exe" \
        2>/dev/null | tr -d '\r' | centres
}

# The Linux program, on a store made from the seed; its screen record gives the places.
"$program" --store "$work/machine.db" --import "$root/data/seed.reg"
CALVENOR_PROBE=$work/probe.txt "$program" --store "$work/machine.db" &
pids+=($!)
window_of "Calvenor XP" >/dev/null
sleep 1
kill "${pids[-1]}"
icons=linux_icons
photograph linux "$program" --store "$work/machine.db"

exe=$root/build-win64/CalvenorXP.exe
if [[ $scale != 1 ]]; then
    echo "the Windows build is taken at scale 1 only: it follows Wine's DPI" >&2
elif [[ -f $exe && -d $root/build-win64/wineprefix ]]; then
    export WINEPREFIX=$root/build-win64/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The seed machine's card keys, over whatever the suites left in the prefix.
    awk '/^\[/ { keep = ($0 !~ /Windows NT/) } keep || /^REGEDIT4/' "$root/data/seed.reg" \
        >"$work/seed.reg"
    /usr/lib/wine/wine64 regedit /S "Z:${work//\//\\}\\seed.reg" </dev/null >/dev/null 2>&1
    icons=windows_icons
    photograph windows /usr/lib/wine/wine64 "$exe"
    wineserver -k 2>/dev/null || true
else
    echo "no Windows build in build-win64: run tools/test-windows.sh first" >&2
fi
