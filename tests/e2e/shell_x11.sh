#!/usr/bin/env bash
# The shell on a real X server: the window, the global Ctrl+T, the tray icon
# and exit, driven the way a user would, through xdotool.
#
#   tests/e2e/shell_x11.sh path/to/stashbook
#
# Starts its own Xvfb (on a free display), openbox as window manager and
# tint2 as the tray, and runs the program in a temporary folder. Exits 0 when
# every check passed, 1 on the first failure, 77 (skipped) when no X server
# can be started here.
set -u

program=${1:?usage: shell_x11.sh path/to/stashbook}
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

skip() {
    echo "SKIP: $*"
    exit 77
}

command -v Xvfb >/dev/null || skip "Xvfb is not installed, so no X server can be started (package xvfb)"
# With an X server at hand, the rest of the desktop must be there too.
for tool in openbox tint2 xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null ||
        { echo "FAIL: $tool is missing (packages: openbox tint2 xdotool x11-utils)"; exit 1; }
done
[ -x "$program" ] || { echo "FAIL: no program at $program"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/stashbook-e2e.XXXXXX")
pids=()

cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

step=""
fail() {
    echo "FAIL: $step: $*"
    [ -n "${win:-}" ] && xprop -id "$win" WM_NAME _NET_WM_STATE WM_STATE WM_HINTS 2>&1 | sed 's/^/  /'
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
    done
    exit 1
}
ok() { echo "ok - $step"; }

# Polls `$@` every 50 ms for up to $timeout seconds.
timeout=5
until_true() {
    local end=$((SECONDS + timeout))
    while ! "$@"; do
        ((SECONDS >= end)) && return 1
        sleep 0.05
    done
}

# --- An X server of our own, with a window manager and a tray -------------
# -displayfd has the server pick a free display number and report it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=("$xvfb")
display_known() { grep -q '[0-9]' "$work/display" || ! kill -0 "$xvfb" 2>/dev/null; }
timeout=10 until_true display_known
grep -q '[0-9]' "$work/display" || skip "Xvfb did not start ($(tail -n 1 "$work/xvfb.log")), so no X server is available here"
DISPLAY=:$(tr -dc '0-9' <"$work/display")
export DISPLAY

# Keep the desktop's session out: no D-Bus tray host, no user settings.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/data"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY SESSION_MANAGER
export QT_QPA_PLATFORM=xcb

step="window manager"
openbox >"$work/openbox.log" 2>&1 &
pids+=("$!")
timeout=10 until_true sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not come up"

# --- Helpers on the program's windows --------------------------------------
start_program() { # name [arguments...]
    (cd "$work/data" && exec "$program" "${@:2}") >"$work/$1.log" 2>&1 &
    pids+=("$!")
    last_pid=$!
}

main_window() { xdotool search --all --pid "$1" --name '^Stashbook \(v' 2>/dev/null | head -n 1; }

# The tray icon is the program's small window named just "Stashbook" (in
# _NET_WM_NAME), docked into tint2.
tray_icon() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" --classname stashbook 2>/dev/null); do
        xprop -id "$w" _NET_WM_NAME | grep -q '= "Stashbook"$' && { echo "$w"; return; }
    done
}

mapped() { xwininfo -id "$win" | grep -q 'Map State: IsViewable'; }
unmapped() { xwininfo -id "$win" | grep -q 'Map State: IsUnMapped'; }
out_of_task_list() { xprop -id "$win" _NET_WM_STATE | grep -q '_NET_WM_STATE_SKIP_TASKBAR'; }
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }
message_box() { xdotool search --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' >/dev/null 2>&1; }

expect_shown() {
    timeout=5 until_true mapped || fail "the window is not shown"
    timeout=2 until_true out_of_task_list || fail "the shown window is in the task list"
}
expect_hidden() { timeout=5 until_true unmapped || fail "the window is not hidden"; }

hot_key() { xdotool key ctrl+t; }

iconic() { xprop -id "$win" WM_STATE | grep -q 'window state: Iconic'; }

start_tray() {
    cat >"$work/tint2rc" <<'EOF'
panel_items = S
panel_size = 100% 32
panel_position = bottom center horizontal
systray_padding = 2 2 2
systray_icon_size = 24
EOF
    tint2 -c "$work/tint2rc" >"$work/tint2.log" 2>&1 &
    pids+=("$!")
    timeout=10 until_true grep -q 'systray started' "$work/tint2.log" || fail "tint2 did not start its tray"
}

has_main_window() { [ -n "$(main_window "$1")" ]; }
wait_for_main_window() { # pid
    timeout=10 until_true has_main_window "$1" || fail "no main window appeared"
    win=$(main_window "$1")
}

wait_for_tray_icon() { # pid
    icon=""
    local end=$((SECONDS + 5))
    while [ -z "$icon" ] && ((SECONDS < end)); do
        icon=$(tray_icon "$1")
        [ -n "$icon" ] || sleep 0.1
    done
    [ -n "$icon" ] || fail "no tray icon"
}

# The open popup menu is a third visible window beside the main window and
# the tray icon.
menu_open() { (($(xdotool search --all --onlyvisible --pid "$1" --classname stashbook | wc -l) > 2)); }
menu_closed() { ! menu_open "$1"; }

open_tray_menu() { # pid
    local icon
    icon=$(tray_icon "$1")
    [ -n "$icon" ] || fail "no tray icon to open the menu from"
    # Clicks closer together than the double-click interval make a
    # double-click, which opens no menu.
    sleep 0.5
    xdotool mousemove --window "$icon" 12 12 click 3
    timeout=3 until_true menu_open "$1" || fail "the tray menu did not open"
}

exit_through_tray_menu() { # pid
    open_tray_menu "$1"
    # "   E&xit": its mnemonic picks it in the open menu.
    xdotool key x
    timeout=5 until_true gone "$1" || fail "the program did not end through its tray menu"
}

# --- The checks --------------------------------------------------------------
step="without a tray the window stays in the task list"
start_program notray
notray=$last_pid
wait_for_main_window "$notray"
timeout=5 until_true mapped || fail "the window is not shown"
sleep 0.3
out_of_task_list && fail "the window left the task list with no tray to come back from"
hot_key
timeout=5 until_true iconic || fail "Ctrl+T did not minimise the window into the task list"
hot_key
timeout=5 until_true mapped || fail "Ctrl+T did not restore the window"
xdotool windowminimize "$win"
timeout=5 until_true iconic || fail "minimising did not leave the window minimised"
sleep 0.3
iconic || fail "the minimised window did not stay in the task list"
hot_key
timeout=5 until_true mapped || fail "Ctrl+T did not restore the minimised window"
ok

step="without a tray closing ends the program"
xdotool windowactivate --sync "$win" 2>/dev/null
xdotool key alt+F4
timeout=5 until_true gone "$notray" || fail "the program did not end"
ok

step="a tray that appears later is used from the next minimise"
start_program first
first=$last_pid
wait_for_main_window "$first"
timeout=5 until_true mapped || fail "the window is not shown"
message_box && fail "Ctrl+T was still held after the previous instance ended"
start_tray
xdotool windowminimize "$win"
expect_hidden
iconic && fail "the window went to the task list, not to the tray"
wait_for_tray_icon "$first"
hot_key
expect_shown
ok

step="Ctrl+T hides and shows"
for _ in 1 2 3 4 5; do
    hot_key
    expect_hidden
    hot_key
    expect_shown
done
ok

for locks in Num_Lock Caps_Lock "Num_Lock Caps_Lock"; do
    read -r -a lock <<<"$locks"
    step="Ctrl+T with $locks on"
    xdotool key "${lock[@]}"
    hot_key
    expect_hidden
    hot_key
    expect_shown
    xdotool key "${lock[@]}"
    ok
done

step="holding Ctrl+T toggles once"
xdotool keydown ctrl+t
expect_hidden
# Well past the auto-repeat delay, the window must stay hidden.
end=$((SECONDS + 2))
while ((SECONDS < end)); do
    unmapped || { xdotool keyup ctrl+t; fail "auto-repeat of a held Ctrl+T toggled the window again"; }
done
xdotool keyup ctrl+t
sleep 0.3
unmapped || fail "releasing Ctrl+T toggled the window"
hot_key
expect_shown
ok

step="tray double-click hides and shows; a single click then does nothing"
xdotool mousemove --window "$icon" 12 12 click --repeat 2 --delay 80 1
expect_hidden
xdotool mousemove --window "$icon" 12 12 click --repeat 2 --delay 80 1
expect_shown
sleep 0.5 # a click of its own, not part of a double-click
xdotool mousemove --window "$icon" 12 12 click 1
sleep 1
mapped || fail "a single click on a tray that reports double-clicks toggled the window"
ok

step="minimising hides to the tray"
xdotool windowminimize "$win"
expect_hidden
alive "$first" || fail "the program ended"
hot_key
expect_shown
ok

step="closing hides to the tray"
xdotool windowactivate --sync "$win" 2>/dev/null
xdotool key alt+F4
expect_hidden
alive "$first" || fail "the program ended on a close request"
hot_key
expect_shown
ok

step="a second instance finds Ctrl+T in use"
# Another data folder: a second start for the same one only hands over.
mkdir -p "$work/other" && start_program second --data-dir "$work/other"
second=$last_pid
timeout=10 until_true message_box || fail "the second instance did not report Ctrl+T in use"
kill "$second"
timeout=5 until_true gone "$second" || fail "the second instance did not end"
hot_key
expect_hidden
hot_key
expect_shown
ok

step="a right click on the tray icon brings the window forward"
xmessage -geometry +0+0 "another program" >"$work/xmessage.log" 2>&1 &
other_pid=$!
pids+=("$other_pid")
other_window() { xdotool search --name '^xmessage$' 2>/dev/null | head -n 1; }
has_other_window() { [ -n "$(other_window)" ]; }
timeout=5 until_true has_other_window || fail "no other program's window to compete with"
other=$(other_window)
xdotool windowactivate --sync "$other" 2>/dev/null
[ "$(xdotool getactivewindow)" = "$other" ] || fail "could not activate another window"
open_tray_menu "$first"
is_active() { [ "$(xdotool getactivewindow)" = "$win" ]; }
timeout=3 until_true is_active || fail "the window did not come forward"
xdotool key Escape
timeout=3 until_true menu_closed "$first" || fail "the tray menu did not close"
kill "$other_pid"
mapped || fail "the window did not stay shown"
ok

step="the tray menu's exit ends the program"
exit_through_tray_menu "$first"
ok

step="after exit a new instance starts out of the task list and takes Ctrl+T"
start_program third
third=$last_pid
wait_for_main_window "$third"
expect_shown
wait_for_tray_icon "$third"
sleep 0.5
message_box && fail "Ctrl+T was still held after the first instance ended"
hot_key
expect_hidden
hot_key
expect_shown
exit_through_tray_menu "$third"
ok

echo "PASS: all shell checks on display $DISPLAY"
