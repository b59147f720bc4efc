#!/usr/bin/env bash
# Checks Stashbook as a desktop program, from a finished build:
#   - `cmake --install` into a staging folder puts exactly the expected files
#     there, all named by one application id, the icons in their sizes;
#   - the desktop entry and the AppStream metadata pass their validators;
#   - the installed program answers --help and --version, and refuses a
#     missing data folder and an unknown option with status 2, on a terminal
#     without a display; stashbook-cli, beside it with its manual page,
#     links no Qt library that needs a display;
#   - CPack builds the .deb, with that tree, the project's version and the
#     libraries it links, and lintian finds no error in it, and its program
#     built with Debian's hardening flags (bind now, fortified functions).
#
#   scripts/check_packaging.sh [build-folder]     (default: build/default)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in desktop-file-validate appstreamcli lintian dpkg-deb rsvg-convert; do
    command -v "$tool" >/dev/null ||
        fail "$tool is missing (packages: desktop-file-utils appstream lintian dpkg-dev librsvg2-bin)"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

# --- The installed tree ------------------------------------------------------
stage=$build/stage
rm -rf "$stage"
cmake --build "$build" --target stashbook stashbook-cli stashbook_desktop_files >/dev/null
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

desktop_files=("$stage"/usr/share/applications/*.desktop)
[ ${#desktop_files[@]} -eq 1 ] && [ -f "${desktop_files[0]}" ] ||
    fail "expected one desktop entry, found: ${desktop_files[*]}"
id=$(basename "${desktop_files[0]}" .desktop)
[[ $id =~ ^[a-z][a-z0-9-]*(\.[A-Za-z][A-Za-z0-9_-]*){2,}$ ]] || fail "'$id' is no reverse-DNS id"

sizes=(16 22 24 32 48 64 128 256)
expected=(
    usr/bin/stashbook
    usr/bin/stashbook-cli
    "usr/share/applications/$id.desktop"
    "usr/share/metainfo/$id.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$id.svg"
    usr/share/man/man1/stashbook.1.gz
    usr/share/man/man1/stashbook-cli.1.gz
    usr/share/doc/stashbook/copyright
    usr/share/doc/stashbook/changelog.gz
)
for s in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x$s/apps/$id.png"); done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$stage" && find . -type f | sed 's|^\./||' | sort) ||
    fail "the installed tree differs from the expected one (< expected, > installed)"
[ -x "$stage/usr/bin/stashbook" ] || fail "the program is not executable"

# Every PNG is as large as its folder says.
for s in "${sizes[@]}"; do
    png=$stage/usr/share/icons/hicolor/${s}x$s/apps/$id.png
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "$png is ${w}x$h"
done

# One id everywhere: desktop entry, icon, metadata, and the program itself.
grep -qx "Icon=$id" "$stage/usr/share/applications/$id.desktop" || fail "the desktop entry's icon is not $id"
grep -qx "Exec=stashbook" "$stage/usr/share/applications/$id.desktop" || fail "the desktop entry does not start stashbook"
metainfo=$stage/usr/share/metainfo/$id.metainfo.xml
grep -q "<id>$id</id>" "$metainfo" || fail "the metadata's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not name $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata's release is not $version"
# (Qt keeps its string literals in UTF-16.)
strings -el "$stage/usr/bin/stashbook" | grep -x "$id" >/dev/null || fail "the program does not name its desktop entry $id"
echo "ok - installed tree: ${#expected[@]} files under the id $id"

desktop-file-validate "$stage/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >"$build/appstream.log" 2>&1 ||
    { cat "$build/appstream.log"; fail "appstreamcli validate"; }
echo "ok - desktop entry and metadata are valid"

# --- The installed program's command line ----------------------------------
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/bin/stashbook" "$@" \
        >"$build/out.txt" 2>"$build/err.txt"
}
expect_refusal() { # what arguments...
    local what=$1 status=0
    shift
    run "$@" || status=$?
    [ "$status" -eq 2 ] || fail "$what: status $status, not 2"
    grep -q '^stashbook: ' "$build/err.txt" || fail "$what: no message on standard error"
    [ ! -s "$build/out.txt" ] || fail "$what: printed on standard output"
}
run --help || fail "--help: status $?"
grep -q -- '--data-dir <DIR>' "$build/out.txt" || fail "--help says '$(cat "$build/out.txt")'"
run --version || fail "--version: status $?"
[ "$(cat "$build/out.txt")" = "Stashbook $version" ] || fail "--version says '$(cat "$build/out.txt")'"
expect_refusal "missing data folder" --data-dir "$stage/no such folder"
expect_refusal "a file as data folder" --data-dir "$stage/usr/bin/stashbook"
expect_refusal "unknown option" --no-such-option
echo "ok - command line without a display: --help, --version, refusals with status 2"

cli=$stage/usr/bin/stashbook-cli
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" --version)" = "stashbook-cli $version" ] ||
    fail "stashbook-cli --version"
! ldd "$cli" | grep -E 'libQt6(Gui|Widgets)' || fail "stashbook-cli links a Qt library for a display"
zcat "$stage/usr/share/man/man1/stashbook-cli.1.gz" | grep -q '^\.SH EXIT STATUS' ||
    fail "stashbook-cli's manual page has no exit statuses"
echo "ok - stashbook-cli: QtCore only, with its manual page"

# --- The Debian package ---------------------------------------------------------
cmake --build "$build" --target package >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; fail "cpack"; }
deb=$build/stashbook_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package at $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libc6 qt6-qpa-plugins; do
    [[ $depends == *"$lib"* ]] || fail "the package does not depend on $lib: $depends"
done
# Nothing of the network library: a start maps the fewest libraries.
[[ $depends != *libqt6network6* ]] || fail "the package depends on libqt6network6: $depends"
changelog_version=$(zcat "$stage/usr/share/doc/stashbook/changelog.gz" | sed -n '1s/^stashbook (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is $changelog_version, not $version"
diff <(cd "$stage" && find . -type f | sort) <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort) ||
    fail "the package holds other files than the install (< installed, > package)"
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$build/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$build/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
# (stashbook-cli is built with the same flags, but the compiler proves the
# bounds of its few fortifiable calls, so it calls no checked function and
# lintian cannot tell: its fortify tag is lintian's guess, not a fault.)
! grep -E 'hardening-no-bindnow|hardening-no-fortify-functions \[usr/bin/stashbook\]' \
    "$build/lintian.log" || fail "the program lacks Debian's hardening flags"
echo "ok - $(basename "$deb"): version, dependencies, contents, lintian, hardening"
echo "PASS: packaging"
