#!/usr/bin/env bash
# One program per data folder, on a real X server: a second start for the
# same folder brings the running window back and ends, a start after the
# first was killed runs normally, two starts at the same moment leave one
# program, and a start for another folder runs beside the first.
#
#   tests/e2e/instance_x11.sh path/to/stashbook
#
# Starts its own Xvfb (on a free display), openbox and the tint2 tray. Exits
# 0 when every check passed, 1 on the first failure, 77 (skipped) when no X
# server can be started here.
set -u

program=${1:?usage: instance_x11.sh path/to/stashbook}
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
start_desktop
needs tint2 tint2
start_tint2
mkdir -p "$work/one" "$work/two" "$work/three"
ln -s one "$work/link-to-one"

# --- Helpers ------------------------------------------------------------------
start() { # log-name folder-to-start-in [arguments...]: sets $pid
    local name=$1 dir=$2
    shift 2
    (cd "$dir" && exec "$program" "$@") >"$work/$name.log" 2>&1 &
    pid=$!
    pids+=("$pid")
}
boxes() {
    xdotool search --onlyvisible --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' 2>/dev/null |
        wc -l
}
# Waits for the program $1 to end and checks that it ended with status 0.
ends_with_0() {
    timeout=10 until_true gone "$1" || fail "the second start did not end"
    wait "$1"
    local status=$?
    [ "$status" -eq 0 ] || fail "the second start ended with status $status"
}
wait_for_window() { # pid: sets $win
    wait_for_main_window "$1"
    timeout=5 until_true mapped || fail "the main window is not shown"
}

# --- The checks ---------------------------------------------------------------
step="the first start for a folder shows its window and takes Ctrl+T"
start first "$work" --data-dir one
first=$pid
wait_for_window "$first"
sleep 0.5
(($(boxes) == 0)) || fail "the first start found Ctrl+T in use"
ok

step="a second start for the same folder brings the hidden window back and ends"
xdotool key ctrl+t
timeout=5 until_true unmapped || fail "Ctrl+T did not hide the window"
# The same folder spelt another way: the working directory, through a link.
start second "$work/link-to-one"
ends_with_0 "$pid"
timeout=5 until_true mapped || fail "the hidden window did not come back"
(($(boxes) == 0)) || fail "the second start showed the Control-T box"
ok

step="a second start while the window is shown leaves it shown"
start again "$work" --data-dir "$work/one/"
ends_with_0 "$pid"
sleep 0.3
mapped || fail "the window was hidden"
alive "$first" || fail "the first program ended"
ok

step="a start for another folder runs beside the first and finds Ctrl+T in use once"
start other "$work/two"
other=$pid
first_win=$win
wait_for_window "$other"
win=$first_win
timeout=5 until_true test "$(boxes)" -ge 1 || fail "no Control-T box"
sleep 0.5
(($(boxes) == 1)) || fail "$(boxes) Control-T boxes"
alive "$first" || fail "the first program ended"
mapped || fail "the first program's window was hidden"
ok

step="a start after the first was killed runs normally"
kill -KILL "$first"
wait "$first" 2>/dev/null
ls "$XDG_RUNTIME_DIR"/stashbook-*.socket >/dev/null 2>&1 || fail "no socket was left behind"
start after_kill "$work" --data-dir one
after_kill=$pid
wait_for_window "$after_kill"
sleep 0.3
alive "$after_kill" || fail "the new start ended"
# It serves the folder now: a further start hands over to it.
start after_kill_again "$work/one"
ends_with_0 "$pid"
alive "$after_kill" || fail "the new start ended"
ok

step="two starts at the same moment leave one program"
start race_a "$work" --data-dir three
race_a=$pid
start race_b "$work" --data-dir three
race_b=$pid
race_ended() { gone "$race_a" || gone "$race_b"; }
timeout=10 until_true race_ended || fail "both starts are still running"
if gone "$race_a"; then ended=$race_a survivor=$race_b; else ended=$race_b survivor=$race_a; fi
wait "$ended" || fail "the start that handed over ended with status $?"
wait_for_window "$survivor"
sleep 0.5
alive "$survivor" || fail "neither start kept running"
ok

echo "PASS: all single-instance checks on display $DISPLAY"
