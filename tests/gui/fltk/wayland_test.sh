#!/usr/bin/env bash
# The Linux program as a native Wayland client (FLTK 1.4): with WAYLAND_DISPLAY set and no
# DISPLAY, it opens its window on the compositor, draws it as it does on X11 at the same scale,
# and answers the keyboard and the mouse, which reach it through the compositor's seat.
#
#   tests/gui/fltk/wayland_test.sh PROGRAM SEED [SCALE]
#
# SCALE (1 unless given) is the compositor's output scale, a whole number, as a Wayland desktop
# sets it; the window on X11 is drawn at FLTK_SCALING_FACTOR=SCALE to be compared with.
#
# The compositor is weston with its X11 backend on a private Xvfb, and the kiosk shell, whose
# output is made the main window's size so that the window lies at its corner. Weston's
# headless backend has no seat, and FLTK 1.4.3 ends on a segmentation fault when it opens a
# compositor that has none; on Xvfb the seat is weston's X window, which XTEST drives.
set -u
program=$1
seed=$2
scale=${3:-1}
[[ $scale =~ ^[1-9]$ ]] || { echo "the compositor's scale is a whole number"; exit 2; }
# shellcheck source=tests/support/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/checks.sh"
pids=()
stop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap stop EXIT

# until SECONDS COMMAND...: true once the command succeeds, false when the time is up.
until_true() {
    local tries=$(($1 * 10))
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# A field of a line of the screen record: field WORD-AT-START KEY.
field() {
    awk -v head="$1 " -v key="$2=" 'index($0, head) == 1 {
        for (i = 1; i <= NF; i++) if (index($i, key) == 1) print substr($i, length(key) + 1) }' \
        "$work/probe.txt" 2>/dev/null
}
shown() { [[ $(field "window frmMain" shown) == 1 ]]; }
ended() { ! ps -o stat= -p "$1" | grep -qv Z; }
value_of() { field "control frmMain.$1" value; }
stored() {
    "$program" --store "$work/machine.db" --export - 'HKLM\Software\Aureal\A3D' 2>/dev/null |
        tr -d '\r' | grep "^\"$1\"=" || echo "(none)"
}

Xvfb -noreset -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
until_true 10 test -s "$work/display" || { echo "Xvfb did not start"; exit 1; }
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
"$program" --store "$work/machine.db" --import "$seed" || exit 1

# The window on X11 first: its size in pixels at the scale, and its picture.
CALVENOR_PROBE=$work/probe.txt FLTK_SCALING_FACTOR=$scale "$program" --store "$work/machine.db" &
x11=$!
pids+=("$x11")
until_true 10 shown || { echo "the window did not come up on X11"; exit 1; }
sleep 1
IFS=, read -r _ _ width height <<<"$(field "window frmMain" client)"
import -window "$(xdotool search --onlyvisible --name '^Calvenor XP$' | head -n1)" "$work/x11.png"
kill "$x11"
wait "$x11" 2>/dev/null
rm -f "$work/probe.txt"

export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --no-config --backend=x11 --renderer=pixman --shell=kiosk-shell.so --socket=calvenor \
    --scale="$scale" --width="$((width / scale))" --height="$((height / scale))" \
    >"$work/weston.log" 2>&1 &
pids+=($!)
until_true 10 test -S "$XDG_RUNTIME_DIR/calvenor" || { echo "weston did not start"; exit 1; }
# Weston's window on the X server (which xdotool's search does not find by its name).
weston_window() {
    output=$(xwininfo -root -children | awk '/"Weston Compositor/ { print $1; exit }')
    [[ -n $output ]]
}
until_true 10 weston_window || { echo "weston's window did not come up"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$output")"  # X and Y of weston's output

env -u DISPLAY WAYLAND_DISPLAY=calvenor CALVENOR_PROBE="$work/probe.txt" \
    "$program" --store "$work/machine.db" 2>"$work/stderr" &
wayland=$!
pids+=("$wayland")
until_true 10 shown
check "the window comes up on Wayland" 1 "$(field "window frmMain" shown)"
sleep 1

# Drawn as on X11: the same picture but for the edges of letters, which Pango smooths a little
# differently on a Wayland surface (a fraction of 1% of the pixels; a window not drawn, or
# drawn elsewhere, differs in most). The pointer, which weston draws in its output, is moved to
# the far corner first.
xdotool mousemove "$((X + width - 1))" "$((Y + height - 1))"
sleep 0.5
import -window "$output" "$work/wayland.png"
differing=$(compare -metric AE -fuzz 8% "$work/x11.png" "$work/wayland.png" null: 2>&1)
echo "pixels that differ from the window drawn on X11: $differing of $((width * height))"
check "under 1% of them" yes \
    "$([[ $differing =~ ^[0-9]+$ ]] && ((differing * 100 < width * height)) && echo yes)"

# The keyboard: X sends the keys to the window under the pointer, weston to its client.
xdotool mousemove "$((X + width / 2))" "$((Y + height - 4))"
xdotool key alt+p
until_true 5 test "$(value_of chkPlayA3D)" = 1
check "Alt+P ticks Play A3D splash audio" 1 "$(value_of chkPlayA3D)"
check "and it is stored" '"SplashAudio"=dword:00000001' "$(stored SplashAudio)"

# The mouse: a click on the box of Show A3D splash screen, where the record puts it (in pixels
# from the window's corner: a Wayland client does not know where its window is).
IFS=, read -r bx by bw bh <<<"$(field "control frmMain.chkA3DSplash" box)"
was=$(value_of chkA3DSplash)
xdotool mousemove "$((X + bx + bw / 2))" "$((Y + by + bh / 2))" click 1
until_true 5 test "$(value_of chkA3DSplash)" = "$((1 - was))"
check "a click toggles Show A3D splash screen" "$((1 - was))" "$(value_of chkA3DSplash)"
check "and it is stored" "\"SplashScreen\"=dword:0000000$((1 - was))" "$(stored SplashScreen)"

# Alt+O presses OK, which ends the program.
xdotool key alt+o
until_true 5 ended "$wayland"
wait "$wayland"
check "OK ends the program with status 0" 0 "$?"
check "nothing on standard error" "" "$(cat "$work/stderr")"
finish
