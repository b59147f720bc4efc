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
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

skip() {
    echo "SKIP: $*"
    exit 77
}
command -v Xvfb >/dev/null || skip "Xvfb is not installed (package xvfb)"
for tool in openbox tint2 xdotool xwininfo; do
    command -v "$tool" >/dev/null ||
        { echo "FAIL: $tool is missing (packages: openbox tint2 xdotool x11-utils)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/stashbook-instance.XXXXXX")
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

step="setting up"
fail() {
    echo "FAIL: $step: $*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 15 "$log"; }
    done
    exit 1
}
ok() { echo "ok - $step"; }

# Runs `$@` every 50 ms until it succeeds, for at most $within seconds.
within=5
until_true() {
    local end=$((SECONDS + within))
    until "$@"; do
        ((SECONDS >= end)) && return 1
        sleep 0.05
    done
}

# --- Our own X server, window manager and tray --------------------------------
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=("$!")
xvfb=$!
display_known() { grep -q '[0-9]' "$work/display" || ! kill -0 "$xvfb" 2>/dev/null; }
within=10 until_true display_known
grep -q '[0-9]' "$work/display" || skip "Xvfb did not start: $(tail -n 1 "$work/xvfb.log")"
export DISPLAY=:$(tr -dc '0-9' <"$work/display")
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY SESSION_MANAGER
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/one" "$work/two" "$work/three"
chmod 700 "$XDG_RUNTIME_DIR"
ln -s one "$work/link-to-one"

openbox >"$work/openbox.log" 2>&1 &
pids+=("$!")
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
within=10 until_true wm_up || fail "openbox did not come up"
printf 'panel_items = S\npanel_size = 100%% 32\nsystray_icon_size = 24\n' >"$work/tint2rc"
tint2 -c "$work/tint2rc" >"$work/tint2.log" 2>&1 &
pids+=("$!")
within=10 until_true grep -q 'systray started' "$work/tint2.log" || fail "tint2 did not start its tray"

# --- Helpers ------------------------------------------------------------------
start() { # log-name folder-to-start-in [arguments...]: sets $pid
    local name=$1 dir=$2
    shift 2
    (cd "$dir" && exec "$program" "$@") >"$work/$name.log" 2>&1 &
    pid=$!
    pids+=("$pid")
}
main_window() { xdotool search --all --pid "$1" --name '^Stashbook \(v' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(main_window "$1")" ]; }
mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsUnMapped'; }
boxes() {
    xdotool search --onlyvisible --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' 2>/dev/null |
        wc -l
}
gone() { ! kill -0 "$1" 2>/dev/null; }
# Waits for the program $1 to end and checks that it ended with status 0.
ends_with_0() {
    within=10 until_true gone "$1" || fail "the second start did not end"
    wait "$1"
    local status=$?
    [ "$status" -eq 0 ] || fail "the second start ended with status $status"
}
wait_for_window() { # pid: sets $win
    within=10 until_true has_window "$1" || fail "no main window appeared"
    win=$(main_window "$1")
    within=5 until_true mapped "$win" || fail "the main window is not shown"
}

# --- The checks ---------------------------------------------------------------
step="the first start for a folder shows its window and takes Ctrl+T"
start first "$work" --data-dir one
first=$pid
wait_for_window "$first"
first_win=$win
sleep 0.5
(($(boxes) == 0)) || fail "the first start found Ctrl+T in use"
ok

step="a second start for the same folder brings the hidden window back and ends"
xdotool key ctrl+t
within=5 until_true unmapped "$first_win" || fail "Ctrl+T did not hide the window"
# The same folder spelt another way: the working directory, through a link.
start second "$work/link-to-one"
ends_with_0 "$pid"
within=5 until_true mapped "$first_win" || fail "the hidden window did not come back"
(($(boxes) == 0)) || fail "the second start showed the Control-T box"
ok

step="a second start while the window is shown leaves it shown"
start again "$work" --data-dir "$work/one/"
ends_with_0 "$pid"
sleep 0.3
mapped "$first_win" || fail "the window was hidden"
kill -0 "$first" 2>/dev/null || fail "the first program ended"
ok

step="a start for another folder runs beside the first and finds Ctrl+T in use once"
start other "$work/two"
other=$pid
wait_for_window "$other"
within=5 until_true test "$(boxes)" -ge 1 || fail "no Control-T box"
sleep 0.5
(($(boxes) == 1)) || fail "$(boxes) Control-T boxes"
kill -0 "$first" 2>/dev/null || fail "the first program ended"
mapped "$first_win" || fail "the first program's window was hidden"
ok

step="a start after the first was killed runs normally"
kill -KILL "$first"
wait "$first" 2>/dev/null
ls "$XDG_RUNTIME_DIR"/stashbook-*.socket >/dev/null 2>&1 || fail "no socket was left behind"
start after_kill "$work" --data-dir one
after_kill=$pid
wait_for_window "$after_kill"
sleep 0.3
kill -0 "$after_kill" 2>/dev/null || fail "the new start ended"
# It serves the folder now: a further start hands over to it.
start after_kill_again "$work/one"
ends_with_0 "$pid"
kill -0 "$after_kill" 2>/dev/null || fail "the new start ended"
ok

step="two starts at the same moment leave one program"
start race_a "$work" --data-dir three
race_a=$pid
start race_b "$work" --data-dir three
race_b=$pid
race_ended() { gone "$race_a" || gone "$race_b"; }
within=10 until_true race_ended || fail "both starts are still running"
if gone "$race_a"; then ended=$race_a survivor=$race_b; else ended=$race_b survivor=$race_a; fi
wait "$ended" || fail "the start that handed over ended with status $?"
wait_for_window "$survivor"
sleep 0.5
kill -0 "$survivor" 2>/dev/null || fail "neither start kept running"
ok

echo "PASS: all single-instance checks on display $DISPLAY"
