# Sourced by the tests that run the real program on a virtual X screen.
# shellcheck shell=bash

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# start_x_server WORK_DIR: starts Xvfb, exports DISPLAY and sets xvfb_pid.
# Xvfb picks a free display number itself and reports it on fd 3. No lock
# file and no socket file: clients reach it through the abstract socket.
start_x_server() {
    local work=$1
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
}

# screenshot WINDOW FILE: the window's client area as a PNG, without the pointer.
screenshot() {
    ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse 0 -window_id "$(($1))" -i "$DISPLAY" \
        -frames:v 1 "$2"
    [ -s "$2" ] || fail "no screenshot written to $2"
    echo "screenshot: $2"
}
