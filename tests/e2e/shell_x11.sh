#!/usr/bin/env bash
# The shell on a real X server with an XEmbed tray: the window, the global
# Ctrl+T, the tray icon and exit, driven the way a user would, through
# xdotool.
#
#   tests/e2e/shell_x11.sh path/to/stashbook
#
# Starts its own Xvfb (on a free display), openbox as window manager and
# tint2 as the tray, and runs the program in a temporary folder. Exits 0 when
# every check passed, 1 on the first failure, 77 (skipped) when no X server
# can be started here.
set -u

program=${1:?usage: shell_x11.sh path/to/stashbook}
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
start_desktop
needs "tint2 imagemagick" tint2 import identify

# The tray icon is the program's small window named just "Stashbook" (in
# _NET_WM_NAME), docked into tint2.
tray_icon() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" --classname stashbook 2>/dev/null); do
        xprop -id "$w" _NET_WM_NAME | grep -q '= "Stashbook"$' && { echo "$w"; return; }
    done
}

message_box() { xdotool search --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' >/dev/null 2>&1; }

wait_for_tray_icon() { # pid
    icon=""
    local end=$((SECONDS + 5))
    while [ -z "$icon" ] && ((SECONDS < end)); do
        icon=$(tray_icon "$1")
        [ -n "$icon" ] || sleep 0.1
    done
    [ -n "$icon" ] || fail "no tray icon"
}

# How many colours the tray icon's place on the screen shows.
icon_colours() {
    local x y w h
    eval "$(xwininfo -id "$icon" | awk -F: '
        /Absolute upper-left X/ { print "x=" $2 } /Absolute upper-left Y/ { print "y=" $2 }
        /Width/ { print "w=" $2 } /Height/ { print "h=" $2 }' | tr -d ' ')"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/icon.png" 2>/dev/null &&
        identify -format '%k' "$work/icon.png"
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
start_tint2
# The program takes the tray as it comes: the window leaves the task list.
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list beside a tray"
xdotool windowminimize "$win"
expect_hidden
iconic && fail "the window went to the task list, not to the tray"
wait_for_tray_icon "$first"
hot_key
expect_shown
ok

step="the tray icon shows the program's picture"
# An empty icon leaves tint2's plain background: one or two colours.
colours=$(icon_colours)
((${colours:-0} > 8)) || fail "the tray icon's place shows ${colours:-no} colours: no picture"
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
ok

step="the tray going away while the window is shown puts it back in the task list"
kill "$tint2"
timeout=1 until_true in_task_list || fail "the window stayed out of the task list"
mapped || fail "the window did not stay shown"
ok

step="a tray coming back takes the icon again"
start_tint2
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list"
wait_for_tray_icon "$third"
colours=$(icon_colours)
((${colours:-0} > 8)) || fail "the tray icon came back without its picture"
hot_key
expect_hidden
ok

step="the tray going away while the window is hidden shows it"
kill "$tint2"
expect_in_reach
ok

echo "PASS: all shell checks on display $DISPLAY"
