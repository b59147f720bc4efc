#!/usr/bin/env bash
# The shell on a real X server with a StatusNotifierItem host as its tray:
# the icon, clicks on it, and the host starting late, going away and hanging,
# driven the way a user would, through xdotool, and read over D-Bus.
#
#   tests/e2e/shell_x11_sni.sh path/to/stashbook
#
# Starts its own Xvfb (on a free display), openbox as window manager, a
# private session bus and LXQt's panel with only its "statusnotifier" plugin
# (and for a moment tint2), and runs the program in a temporary folder. Exits 0 when every check
# passed, 1 on the first failure, 77 (skipped) when no X server can be
# started here.
set -u

program=${1:?usage: shell_x11_sni.sh path/to/stashbook}
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
start_desktop
needs "lxqt-panel dbus-daemon libglib2.0-bin tint2" lxqt-panel dbus-daemon gdbus tint2

step="session bus"
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile >"$work/dbus.log" 2>&1 &
pids+=("$!")
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
bus() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method "org.freedesktop.DBus.$1" "${@:2}" 2>/dev/null; }
timeout=5 until_true bus GetId >/dev/null || fail "the session bus did not start"

mkdir -p "$XDG_CONFIG_HOME/lxqt"
cat >"$XDG_CONFIG_HOME/lxqt/panel.conf" <<'EOF'
panels=panel1

[panel1]
plugins=statusnotifier
position=Bottom

[statusnotifier]
type=statusnotifier
EOF

watcher_there() { bus NameHasOwner org.kde.StatusNotifierWatcher | grep -q true; }

start_host() {
    lxqt-panel >>"$work/panel.log" 2>&1 &
    host=$!
    pids+=("$host")
    timeout=10 until_true watcher_there || fail "lxqt-panel did not start its StatusNotifierWatcher"
}

stop_host() {
    kill "$host"
    wait "$host" 2>/dev/null
}

# The program's item among those registered with the watcher: sets
# item_service and item_path.
find_item() { # pid
    local entry service pid
    for entry in $(gdbus call --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null |
        grep -o "'[^']*'" | tr -d "'"); do
        service=${entry%%/*}
        pid=$(bus GetConnectionUnixProcessID "$service" | grep -o '[0-9]\+,' | tr -d ,)
        if [ "$pid" = "$1" ]; then
            item_service=$service
            item_path=/StatusNotifierItem
            [[ $entry == */* ]] && item_path=/${entry#*/}
            return 0
        fi
    done
    return 1
}

item() { # method args...
    gdbus call --session --dest "$item_service" --object-path "$item_path" --method "$@"
}

# The icon's button, the panel's first, at its left end.
click_icon() { # button
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool search --onlyvisible --classname lxqt-panel getwindowgeometry --shell | head -n 6)"
    sleep 0.5 # clicks closer together make a double-click
    xdotool mousemove $((X + 16)) $((Y + HEIGHT / 2)) click "$1"
}

# Toggled once by `$@`, and not back again a moment later.
toggles_once() {
    if mapped; then
        "$@"
        expect_hidden
        sleep 0.6
        unmapped || fail "one click toggled the window twice"
    else
        "$@"
        expect_shown
        sleep 0.6
        mapped || fail "one click toggled the window twice"
    fi
}

# --- The checks --------------------------------------------------------------
step="without a tray host the window stays in the task list"
start_program first
first=$last_pid
wait_for_main_window "$first"
timeout=5 until_true mapped || fail "the window is not shown"
sleep 0.3
out_of_task_list && fail "the window left the task list with no tray to come back from"
ok

step="a host started after the program is used from the next minimise"
start_host
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list beside a tray"
xdotool windowminimize "$win"
expect_hidden
iconic && fail "the window went to the task list, not to the tray"
ok

step="the item is registered with the program's picture"
timeout=3 until_true find_item "$first" || fail "no item of the program's is registered"
pixmap=$(item org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem IconPixmap)
grep -Eq '\([1-9][0-9]*, [1-9][0-9]*, \[byte' <<<"$pixmap" || fail "IconPixmap holds no picture: ${pixmap:0:80}"
lit=$(grep -o '0x[0-9a-f]*' <<<"$pixmap" | grep -vc '^0x00$')
((lit > 256)) || fail "IconPixmap is blank (only $lit bytes are not zero)"
ok

step="a click on the icon toggles once"
toggles_once click_icon 1
toggles_once click_icon 1
ok

step="Activate over D-Bus toggles once"
toggles_once eval "item org.kde.StatusNotifierItem.Activate 0 0 >/dev/null"
ok

step="the host going away while the window is shown puts it back in the task list"
stop_host
timeout=1 until_true in_task_list || fail "the window stayed out of the task list"
mapped || fail "the window did not stay shown"
ok

step="a host coming back takes the icon again"
start_host
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list"
timeout=3 until_true find_item "$first" || fail "the item was not registered again"
hot_key
expect_hidden
ok

step="the host going away while the window is hidden shows it"
stop_host
expect_in_reach
ok

step="with the host hung, Ctrl+T still hides and shows at once"
start_host
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list"
kill -STOP "$host"
for _ in 1 2 3; do
    started=$(now_ms)
    hot_key
    timeout=1 until_true unmapped || fail "Ctrl+T did not hide the window within a second"
    hidden=$(now_ms)
    hot_key
    timeout=1 until_true mapped || fail "Ctrl+T did not show the window within a second"
    echo "  hidden in $((hidden - started)) ms, shown in $(($(now_ms) - hidden)) ms"
done
kill -CONT "$host"
ok

step="an XEmbed tray in the host's place is left alone; the window stays in reach"
# Qt ties a program to the kind of tray its first icon went to, so this
# tray cannot take the icon: the window must not hide.
stop_host
expect_in_reach
start_tint2
sleep 0.5
in_task_list || fail "the window left the task list for a tray that cannot take its icon"
xdotool windowminimize "$win"
timeout=5 until_true iconic || fail "minimising did not leave the window in the task list"
hot_key
timeout=5 until_true mapped || fail "Ctrl+T did not restore the window"
kill "$tint2"
start_host
timeout=3 until_true out_of_task_list || fail "the window stayed in the task list beside the host"
ok

step="the tray menu's exit ends the program and takes the item away"
panel_menu_open() { (($(xdotool search --all --onlyvisible --pid "$host" 2>/dev/null | wc -l) > 1)); }
click_icon 3
timeout=3 until_true panel_menu_open || fail "the tray menu did not open"
# "   E&xit": its mnemonic picks it in the open menu.
xdotool key x
timeout=5 until_true gone "$first" || fail "the program did not end through its tray menu"
item_listed() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems | grep -q "'$item_service[/']"
}
timeout=2 until_true eval '! item_listed' || fail "the item stayed registered"
ok

echo "PASS: all StatusNotifierItem checks on display $DISPLAY"
