#!/bin/sh
# Starts a program on a private X display, waits for its window, photographs the whole
# screen into a PNG and stops everything it started.
#
#   tools/screenshot.sh OUT.png [--wait SECONDS] [--keys "xdotool args"] -- PROGRAM [ARGS...]
#
# --wait   seconds to let the program draw before the picture (default 2)
# --keys   run "xdotool ARGS" against the display before the picture (repeatable), e.g.
#          --keys "key alt+s" or --keys "mousemove 100 120 click 1"
set -eu

usage() { echo "usage: $0 OUT.png [--wait S] [--keys ARGS]... -- PROGRAM [ARGS...]" >&2; exit 2; }
[ $# -ge 3 ] || usage
out=$1; shift
wait_s=2
keys_file=$(mktemp)
while [ $# -gt 0 ]; do
    case $1 in
        --wait) wait_s=$2; shift 2 ;;
        --keys) printf '%s\n' "$2" >>"$keys_file"; shift 2 ;;
        --) shift; break ;;
        *) usage ;;
    esac
done
[ $# -ge 1 ] || usage
"$(dirname "$0")/setup.sh" build bench

# Xvfb picks a free display itself and reports its number.
display_file=$(mktemp)
Xvfb -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
prog_pid=
cleanup() {
    [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -f "$keys_file" "$display_file"
}
trap cleanup EXIT INT TERM
i=0
until [ -s "$display_file" ]; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$display_file")
export DISPLAY

# Wait for the server to answer.
i=0
until xdotool getmouselocation >/dev/null 2>&1; do
    i=$((i + 1)); [ $i -lt 50 ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done

"$@" &
prog_pid=$!

# Wait for a window of the program to be mapped.
i=0
until xdotool search --onlyvisible --pid "$prog_pid" >/dev/null 2>&1 ||
      xdotool search --onlyvisible --name '.' >/dev/null 2>&1; do
    i=$((i + 1))
    if [ $i -ge 100 ] || ! kill -0 "$prog_pid" 2>/dev/null; then
        echo "$0: no window appeared" >&2; exit 1
    fi
    sleep 0.1
done
sleep "$wait_s"

while IFS= read -r line; do
    [ -n "$line" ] || continue
    # shellcheck disable=SC2086
    xdotool $line
    sleep 0.5
done <"$keys_file"

import -window root "$out"
echo "$out"
