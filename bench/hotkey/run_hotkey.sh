#!/usr/bin/env bash
# Ctrl+T to the window shown, through the two ways the program gets its key:
# the X11 grab (Xvfb and openbox) and the GlobalShortcuts portal in a
# headless KWin Wayland session (native Wayland client). No tray in either,
# so Ctrl+T minimises the window into the task list and brings it back. The
# key is pressed as a keyboard would (XTest; KWin's fake input), and "shown"
# is when the window manager sees the window back (WM_STATE Normal; KWin
# adding or unminimising it). Prints the median and range of each and their
# ratio. Needs the packages of scripts/setup.sh --test.
#
#   bench/hotkey/run_hotkey.sh [build-dir] [rounds]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
rounds=${2:-15}
program=$build/src/stashbook fake_input=$build/tests/e2e/fake_input
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
now() { date +%s%3N; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "median %d ms (min %d, max %d)", v[int((NR + 1) / 2)], v[1], v[NR] }'; }
# Waits until the file $1 has more than $3 lines matching $2, the last saying $4.
wait_for() {
    for _ in $(seq 1000); do
        [ "$(grep -c "$2" "$1")" -gt "$3" ] && grep "$2" "$1" | tail -n 1 | grep -q "$4" && return
        sleep 0.002
    done
    echo "no $4 in $1" >&2
    exit 1
}
# One round: Ctrl+T to hide, then Ctrl+T timed until the window is back.
round() { # log pattern field-of-time press...
    local n t
    n=$(grep -c "$2" "$1" || true); "${@:4}"; wait_for "$1" "$2" "$n" Iconic
    sleep 0.2
    n=$(grep -c "$2" "$1" || true); t=$(now); "${@:4}"; wait_for "$1" "$2" "$n" Normal
    echo $(($(grep "$2" "$1" | tail -n 1 | cut -d' ' -f"$3") - t))
    sleep 0.2
}
mkdir -m 700 "$work/run" && export XDG_RUNTIME_DIR=$work/run HOME=$work XDG_CONFIG_HOME=$work/config
mkdir -p "$work/data"

# --- X11 ---------------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q '[0-9]' "$work/display" && break; sleep 0.1; done
export DISPLAY=:$(tr -dc '0-9' <"$work/display") DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
QT_QPA_PLATFORM=xcb "$program" --data-dir "$work/data" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do win=$(xdotool search --name '^Stashbook \(v' 2>/dev/null | head -n 1) && [ -n "$win" ] && break; sleep 0.05; done
sleep 0.5
xprop -id "$win" -spy WM_STATE 2>/dev/null | while read -r line; do echo "$(now) $line"; done >"$work/x11.log" &
pids+=($!)
sleep 0.3
for _ in $(seq "$rounds"); do round "$work/x11.log" "window state" 1 xdotool key ctrl+t; done >"$work/x11.ms"
kill "${pids[@]}" 2>/dev/null || true
pids=()

# --- Wayland: KWin and its portal ---------------------------------------------
s=$work/kwin
mkdir -p "$s/services" "$work/data/applications"
export XDG_DATA_HOME=$work/data XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=stashbook-e2e-bench-$$
unset DISPLAY
printf '[Desktop Entry]\nType=Application\nName=keys\nExec=%s\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' \
    "$fake_input" >"$XDG_DATA_HOME/applications/fake-input.desktop"
cp /usr/share/dbus-1/services/org.freedesktop.{portal.Desktop,impl.portal.desktop.kde,impl.portal.PermissionStore}.service "$s/services/"
printf '<busconfig><type>session</type><listen>unix:path=%s/bus</listen><servicedir>%s/services</servicedir><policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n' "$s" "$s" >"$s/bus.conf"
dbus-daemon --config-file="$s/bus.conf" --nofork --nopidfile >/dev/null 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$s/bus
cp "$(command -v kwin_wayland)" "$s/kwin_wayland" # the packaged one's file capability is refused here
"$s/kwin_wayland" --virtual --no-lockscreen --socket "$WAYLAND_DISPLAY" >"$s/kwin.log" 2>&1 &
pids+=($!)
sleep 3
QT_QPA_PLATFORM=wayland "$program" --data-dir "$work/data" >"$s/program.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q 'shows and hides the window' "$s/program.log" && break; sleep 0.05; done
echo "function seen(c) { if (c.caption.indexOf('Stashbook (v') == 0) print('BENCH ' + Date.now() + ' ' + (c.minimized ? 'Iconic' : 'Normal')); }
workspace.clientAdded.connect(seen); workspace.clientMinimized.connect(seen); workspace.clientUnminimized.connect(seen);" >"$s/watch.js"
gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript "$s/watch.js" watch >/dev/null
gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.start >/dev/null
for _ in $(seq "$rounds"); do round "$s/kwin.log" "js: BENCH" 3 "$fake_input" 29 20; done >"$work/wayland.ms"

x11=$(median <"$work/x11.ms") wayland=$(median <"$work/wayland.ms")
echo "Ctrl+T to the window shown, $rounds rounds each:"
echo "  X11 key grab:            $x11"
echo "  Wayland shortcut portal: $wayland"
awk -v a="$(sort -n "$work/x11.ms" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
    -v b="$(sort -n "$work/wayland.ms" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
    'BEGIN { printf "  portal / X11: %.2fx\n", (a > 0 ? b / a : 0) }'
