#!/usr/bin/env bash
# Runs a command on a private Xvfb server of its own, with no window manager. -noreset: by
# default the server resets when its last client leaves, as between two tests, and a test that
# connects during the reset is refused ("cannot open the X display").
set -u
fd_file=$(mktemp)
Xvfb -noreset -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$fd_file" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$fd_file"' EXIT
for _ in $(seq 100); do
    [[ -s $fd_file ]] && break
    sleep 0.05
done
display=$(head -n1 "$fd_file")
if [[ -z $display ]]; then
    echo "Xvfb did not start" >&2
    exit 1
fi
DISPLAY=":$display" "$@"
