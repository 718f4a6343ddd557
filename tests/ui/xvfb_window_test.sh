#!/usr/bin/env bash
# Starts the real program on a virtual X screen, checks that its main window
# appears with the title "Sonabank" and a 632 x 448 client area, and saves a
# screenshot of it among the test outputs.
#   xvfb_window_test.sh PROGRAM FALLBACK_OUTPUT_DIR
set -euo pipefail
program=$1
out=${SONABANK_TEST_RUN_DIR:-$2}
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid= app_pid=
cleanup() {
    local status=$?
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Xvfb picks a free display number itself and reports it on fd 3. No lock
# file and no socket file: clients reach it through the abstract socket.
exec 3>"$work/display"
Xvfb -displayfd 3 -nolock -nolisten tcp -nolisten unix -screen 0 1024x768x24 \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb reported no display"
export DISPLAY=:$(head -n1 "$work/display")
until xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.1; done

QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
app_pid=$!

wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sonabank$' | head -n1) ||
    fail "no visible window titled Sonabank; program said: $(cat "$work/program.log")"
title=$(xdotool getwindowname "$wid")
[ "$title" = Sonabank ] || fail "window title is '$title'"

geometry=$(xdotool getwindowgeometry "$wid")
echo "$geometry"
size=$(sed -n 's/^ *Geometry: //p' <<<"$geometry")
[ "$size" = 632x448 ] || fail "client area is $size, expected 632x448"
position=$(sed -n 's/^ *Position: \([0-9]*,[0-9]*\).*/\1/p' <<<"$geometry")

# Let the window paint itself before it is photographed.
sleep 1
kill -0 "$app_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
shot=$out/sonabank-window.png
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size 632x448 -i "$DISPLAY+$position" \
    -frames:v 1 "$shot"
[ -s "$shot" ] || fail "no screenshot written"
echo "screenshot: $shot"
