# Sourced by the tests that run the real program on a virtual X screen. It
# makes the test's work folder $work; the folder and every process whose id
# the test adds to `started` go when the test ends, the last started first.
# shellcheck shell=bash

work=$(mktemp -d)
started=()
end_session() {
    local status=$? i
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        kill "${started[i]}" 2>/dev/null || true
        wait "${started[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
}
trap end_session EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# start_x_server: starts Xvfb and exports DISPLAY. Xvfb picks a free display
# number itself and reports it on fd 3. No lock file and no socket file:
# clients reach it through the abstract socket.
start_x_server() {
    local xvfb_pid
    exec 3>"$work/display"
    Xvfb -displayfd 3 -nolock -nolisten tcp -nolisten unix -screen 0 1024x768x24 \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    started+=("$xvfb_pid")
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
        sleep 0.1
    done
    [ -s "$work/display" ] || fail "Xvfb reported no display"
    DISPLAY=:$(head -n1 "$work/display")
    export DISPLAY
    until xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.1; done
}

# screenshot WINDOW FILE: the window's client area as a PNG, without the pointer.
screenshot() {
    ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse 0 -window_id "$(($1))" -i "$DISPLAY" \
        -frames:v 1 "$2"
    [ -s "$2" ] || fail "no screenshot written to $2"
    echo "screenshot: $2"
}
