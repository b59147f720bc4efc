#!/usr/bin/env bash
# Installs what is missing, builds Stashbook and starts it on the data folder
# of this checkout (./data, created when missing and ignored by git).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target stashbook

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run: no display (DISPLAY is not set); start Stashbook from a desktop session" >&2
    exit 1
fi
mkdir -p data
cd data
exec "$root/build/default/src/stashbook"
