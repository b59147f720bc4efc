#!/usr/bin/env bash
# Start-up benchmark: time from exec to the mapped window, and resident
# memory, of Stashbook on 300 sites and 1,500 accounts next to a bare Qt
# program showing the same widgets empty. Runs on its own virtual X server.
#
#   bench/startup/run_startup.sh [build-dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
runs=${2:-21}
bin=$build/bench/startup

work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
export XDG_RUNTIME_DIR=$work
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$bin/make_data" "$work" 300 1500
cd "$work"
printf 'bare Qt window:      '
"$bin/startup_probe" "$runs" 500 "$bin/bare_window"
printf 'stashbook (300/1500): '
"$bin/startup_probe" "$runs" 500 "$build/src/stashbook"
