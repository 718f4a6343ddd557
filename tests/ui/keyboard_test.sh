#!/usr/bin/env bash
# The two windows as a keyboard and mouse user meets them: the real program on
# a virtual X screen under a window manager (openbox), driven by real key and
# mouse events through the X server (xdotool). Each step of the table below
# sends its keys or clicks, then asks the program for the focus owner and the
# highlighted grid rows (F12 with SONABANK_STATE_PROBE set, see src/ui/main.cpp)
# until it reports the expected ones. The last steps add a 16-bit fragment
# with the keyboard alone and save it; the saved image must hold it.
# Screenshots of the dialog and of the grid after a click on its empty area go
# among the test outputs.
#   keyboard_test.sh PROGRAM CLI FALLBACK_OUTPUT_DIR
set -euo pipefail
program=$(realpath "$1") cli=$(realpath "$2")
out=${SONABANK_TEST_RUN_DIR:-$3}
mkdir -p "$out"
# shellcheck source=x_session.sh
source "$(dirname "$0")/x_session.sh"

# A project of three 8-bit fragments, and a 16-bit source of 1000 samples.
project=$work/keys.bin
"$cli" new "$project" >/dev/null
for n in 1 2 3; do
    head -c 600 /dev/zero >"$work/f$n.raw"
    "$cli" add "$project" "$work/f$n.raw" --description "Sound $n" >/dev/null
done
head -c 2000 /dev/urandom >"$work/s16.raw"

start_x_server
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
started+=("$wm_pid")
# The window manager is up once it names the current desktop.
for _ in $(seq 300); do
    xdotool get_desktop >/dev/null 2>&1 && break
    kill -0 "$wm_pid" 2>/dev/null || fail "openbox did not start: $(cat "$work/openbox.log")"
    sleep 0.1
done
xdotool get_desktop >/dev/null 2>&1 || fail "openbox did not take the screen"

state=$work/state.log
: >"$state"
# Started in the work folder, so the file name typed below is a short one.
(cd "$work" && SONABANK_STATE_PROBE=$state QT_QPA_PLATFORM=xcb exec "$program" "$project") \
    >"$work/program.log" 2>&1 &
app_pid=$!
started+=("$app_pid")
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sonabank$' | head -n1) ||
    fail "no visible window titled Sonabank; program said: $(cat "$work/program.log")"
timeout 30 xdotool windowactivate --sync "$wid" || fail "the window manager did not activate the window"

lines() { wc -l <"$state"; }

# await FOCUS ROWS: asks the program for its state until it reports these.
# Keys reach the program in order, so a reply shows the state after the step;
# a dialog that opens or closes takes the keyboard only when the window
# manager has activated it, hence the asking again.
await() {
    local want="$1 $2" got="(no reply)" before deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
        before=$(lines)
        xdotool key F12
        # A key sent to a window that a dialog blocks is dropped: no reply.
        for _ in $(seq 40); do
            [ "$(lines)" -gt "$before" ] && break
            sleep 0.05
        done
        if [ "$(lines)" -gt "$before" ]; then
            got=$(tail -n1 "$state")
            [ "$got" = "$want" ] && return 0
        fi
        sleep 0.1
    done
    fail "step $step ($action $arg): expected '$want', the program reports '$got'"
}

# Where a click lands in the grid: on a row (29 pixels of toolbar, a header
# row of 19, rows of 18) or, for "empty", on the empty area below the rows.
grid_y() {
    if [ "$1" = empty ]; then echo 300; else echo $((29 + 19 + ($1 - 1) * 18 + 9)); fi
}
# Two clicks on one spot within the double-click interval are a double-click,
# which opens the fragment dialog; successive clicks therefore alternate
# between two columns, far enough apart never to count as one.
clicks=0
next_x() {
    clicks=$((clicks + 1))
    x=$((150 + clicks % 2 * 150))
}

# tab_cycle ROWS OWNER...: from the first owner, which has the focus, Tab
# visits the others in turn and comes back to it; Shift+Tab then goes the
# same way round backwards.
tab_cycle() {
    local rows=$1 i
    shift
    local ring=("$@")
    for i in $(seq 1 ${#ring[@]}); do
        arg=Tab
        xdotool key Tab
        await "${ring[i % ${#ring[@]}]}" "$rows"
    done
    for ((i = ${#ring[@]} - 1; i >= 0; i--)); do
        arg=shift+Tab
        xdotool key shift+Tab
        await "${ring[i]}" "$rows"
    done
}

step=0
while read -r -u 4 action arg focus rows; do
    [[ -z $action || $action == '#'* ]] && continue
    step=$((step + 1))
    case $action in
        start) ;;
        cycle) IFS=, read -r -a owners <<<"$focus"; tab_cycle "$rows" "${owners[@]}"; continue ;;
        key) xdotool key "$arg" ;;
        type) xdotool type --delay 100 "${arg//_/ }" ;;
        click) next_x; xdotool mousemove --window "$wid" "$x" "$(grid_y "$arg")" click 1 ;;
        ctrl-click) next_x; xdotool mousemove --window "$wid" "$x" "$(grid_y "$arg")" keydown ctrl click 1 keyup ctrl ;;
        shot) ;;
        *) fail "unknown action $action" ;;
    esac
    await "$focus" "$rows"
    [ "$action" = shot ] && screenshot "$(xdotool getactivewindow)" "$out/$arg.png"
done 4<<'STEPS'
# action     argument         focus owner               highlighted rows
# The main window starts where its tab order starts; Tab and Shift+Tab cycle.
start        -                Main/Copyright            1
cycle        -                Main/Copyright,Main/BTN_Add,Main/BTN_Del,Main/BB_Play,Main/BTN_Change,Main/Mess 1
key          shift+Tab        Main/Mess                 1
# The grid moves its row with the keys and never leaves it unhighlighted.
key          Down             Main/Mess                 2
key          ctrl+Tab         Main/Mess                 2
key          End              Main/Mess                 3
key          Home             Main/Mess                 1
key          Page_Down        Main/Mess                 3
key          Up               Main/Mess                 2
key          ctrl+Down        Main/Mess                 3
key          ctrl+space       Main/Mess                 3
key          ctrl+Up          Main/Mess                 2
click        empty            Main/Mess                 2
key          Tab              Main/Copyright            2
click        empty            Main/Mess                 2
shot         grid-after-click-on-empty-area Main/Mess   2
ctrl-click   2                Main/Mess                 2
click        3                Main/Mess                 3
ctrl-click   1                Main/Mess                 1
# The fragment dialog, opened from Add with Space (not with its Alt letter:
# xdotool sends a Cyrillic letter by remapping a spare key for a moment, and a
# busy program may read the key after the mapping is gone). Each radio group
# is one tab stop.
key          Tab              Main/Copyright            1
key          Tab              Main/BTN_Add              1
key          space            AddMsg/RB_PCM_22050       1
shot         fragment-dialog  AddMsg/RB_PCM_22050       1
cycle        -                AddMsg/RB_PCM_22050,AddMsg/NameFile,AddMsg/RB_8bit,AddMsg/Description,AddMsg/BTN_OK,AddMsg/BTN_Cancel 1
key          Down             AddMsg/RB_PCM_11025       1
key          Tab              AddMsg/NameFile           1
key          shift+Tab        AddMsg/RB_PCM_11025       1
key          Up               AddMsg/RB_PCM_22050       1
# The browse button is no tab stop; F4 and Alt+Down open it from the name box.
key          Tab              AddMsg/NameFile           1
key          F4               QFileDialog/fileNameEdit  1
key          Escape           AddMsg/NameFile           1
key          alt+Down         QFileDialog/fileNameEdit  1
key          Escape           AddMsg/NameFile           1
# A 16-bit fragment with the keyboard alone: the name typed and confirmed in
# the open dialog, the width chosen with the arrows, Enter for OK, Ctrl+S.
type         s16.raw          AddMsg/NameFile           1
key          F4               QFileDialog/fileNameEdit  1
key          Return           AddMsg/NameFile           1
key          Tab              AddMsg/RB_8bit            1
key          Down             AddMsg/RB_16bit           1
key          Tab              AddMsg/Description        1
type         Keys_16          AddMsg/Description        1
key          Return           Main/BTN_Add              4
key          ctrl+s           Main/BTN_Add              4
STEPS

# Saved with the new fragment: half as many stored bytes as the source had.
expected=$(printf '3\tKeys 16\tPCM 22050 Hz\t1000\t11')
for _ in $(seq 100); do
    [ "$("$cli" list "$project" | sed -n 4p)" = "$expected" ] && exit 0
    sleep 0.1
done
fail "the saved project lists:
$("$cli" list "$project")
expected as its fourth line: $expected"
