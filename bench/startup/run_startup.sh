#!/usr/bin/env bash
# Start-up benchmark: time from exec to the mapped window, and resident
# memory, of Stashbook on 300 sites and 1,500 accounts next to a bare Qt
# program showing the same widgets empty, the two taking turns run after run.
# Runs on its own virtual X server with its own session bus, as on a desktop
# (no tray, no portal on it).
#
#   bench/startup/run_startup.sh [build-dir] [runs]
#
# STASHBOOK_BEFORE=path/to/another/stashbook adds that one to the turns, to
# compare two versions side by side.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
runs=${2:-21}
bin=$build/bench/startup

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
# -displayfd: the server picks a free display number and reports it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q '[0-9]' "$work/display" && break; sleep 0.1; done
export DISPLAY=:$(tr -dc '0-9' <"$work/display")
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP
export QT_QPA_PLATFORM=xcb
dbus-daemon --session --address="unix:path=$work/bus" --nofork --nopidfile >/dev/null 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && [ -S "$work/bus" ] && break; sleep 0.1; done

"$bin/make_data" "$work" 300 1500
cd "$work"
echo "exec to mapped window, $runs runs each, 300 sites and 1,500 accounts:"
# The runs are killed, so their single-instance sockets are cleared after
# each, as a normal exit does.
STARTUP_PROBE_SOCKETS=$XDG_RUNTIME_DIR "$bin/startup_probe" "$runs" 500 "$bin/bare_window" -- "$build/src/stashbook" ${STASHBOOK_BEFORE:+-- "$STASHBOOK_BEFORE"}
