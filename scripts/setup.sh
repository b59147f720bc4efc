#!/usr/bin/env bash
# Installs the Debian packages that building Stashbook needs, and with --test
# also those its tests need (a virtual X server, a window manager, tray hosts
# of both kinds with a private session bus, the X and D-Bus tools the desktop
# tests drive it with, clang for the fuzzer).
# Only missing packages are installed, so a second run costs nothing.
set -euo pipefail

# (dpkg-dev: dpkg-buildflags, Debian's hardening flags for optimised builds.)
build_packages=(g++ make cmake ninja-build git pkg-config qt6-base-dev qt6-qpa-plugins
    libxcb1-dev libgl-dev fonts-dejavu-core dpkg-dev)
test_packages=(xvfb xauth openbox tint2 xdotool x11-utils xclip copyq clang-14 libclang-rt-14-dev librsvg2-bin desktop-file-utils appstream lintian)

# The trays: XFixes notices of XEmbed trays coming and going; a
# StatusNotifierItem host, its bus and D-Bus client, and pixel checks.
build_packages+=(libxcb-xfixes0-dev)
# Loading the font configuration while the window is being set up.
build_packages+=(libfontconfig-dev)
# Reading the CSV exports of browsers and password managers.
build_packages+=(libcsv-dev)
test_packages+=(lxqt-panel dbus-daemon libglib2.0-bin imagemagick)
# Ctrl+T on Wayland: a headless KWin with its desktop portal and Xwayland,
# both Qt's Wayland platforms, and what the fake-input client is built from.
test_packages+=(kwin-wayland xwayland xdg-desktop-portal xdg-desktop-portal-kde
    libkf5globalaccel-bin qt6-wayland qtwayland5 plasma-wayland-protocols libwayland-dev)

wanted=("${build_packages[@]}")
if [[ "${1:-}" == "--test" ]]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "setup: run as root or install sudo" >&2; exit 1; }
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
