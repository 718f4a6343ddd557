#!/usr/bin/env bash
# Starts the real program on a virtual X screen, checks that its main window
# appears with the title "Sonabank" and a 632 x 448 client area, and saves a
# screenshot of it among the test outputs.
#   xvfb_window_test.sh PROGRAM FALLBACK_OUTPUT_DIR
set -euo pipefail
program=$1
out=${SONABANK_TEST_RUN_DIR:-$2}
mkdir -p "$out"
# shellcheck source=x_session.sh
source "$(dirname "$0")/x_session.sh"
start_x_server

QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
app_pid=$!
started+=("$app_pid")

wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sonabank$' | head -n1) ||
    fail "no visible window titled Sonabank; program said: $(cat "$work/program.log")"
title=$(xdotool getwindowname "$wid")
[ "$title" = Sonabank ] || fail "window title is '$title'"

geometry=$(xdotool getwindowgeometry "$wid")
echo "$geometry"
size=$(sed -n 's/^ *Geometry: //p' <<<"$geometry")
[ "$size" = 632x448 ] || fail "client area is $size, expected 632x448"

# Let the window paint itself before it is photographed.
sleep 1
kill -0 "$app_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
screenshot "$wid" "$out/sonabank-window.png"
