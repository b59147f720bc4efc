#!/usr/bin/env bash
# Ctrl+T, `stashbook --toggle` and one program per folder on a real desktop,
# driven as a user would, from one table of steps per desktop (without a tray
# a hidden window waits minimised in the task list):
#   x11      Xvfb and openbox (desktop.sh), later the tint2 tray;
#   wayland  a headless KWin with the desktop portal on a private session bus
#            and Xwayland; keys go through KWin's fake input (fake_input.c),
#            which reaches its global shortcuts as a keyboard does, and the
#            windows are read from KWin's own list.
#
#   tests/e2e/hotkey.sh x11|wayland path/to/stashbook [path/to/fake_input]
#
# Exits 0 when every step passed, 1 on the first failure, 77 (skipped) when
# the desktop cannot be started here.
set -u
desktop=${1:?usage: hotkey.sh x11|wayland path/to/stashbook [path/to/fake_input]}
program=${2:?usage: hotkey.sh x11|wayland path/to/stashbook [path/to/fake_input]}
fake_input=${3:-}
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
pid="" mode="" sessions=0

# --- Wayland: KWin, its portal, Xwayland ---------------------------------------
# A KWin session of its own (fresh settings, bus and runtime folder); with
# "no portal" its bus cannot start the desktop portal; with a key, that key
# is the user's choice for the toggle shortcut before the program ever ran.
start_kwin() { # [preset key | no portal]
    local s=$work/kwin$((++sessions))
    export HOME=$s/home XDG_CONFIG_HOME=$s/config XDG_DATA_HOME=$s/data XDG_RUNTIME_DIR=$s/run
    export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=stashbook-e2e-$$-$sessions
    unset DISPLAY QT_QPA_PLATFORM
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$s/services" "$work/data"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    kwin_log=$s/kwin.log
    printf '[Desktop Entry]\nType=Application\nName=keys\nExec=%s\nX-KDE-Wayland-Interfaces=%s\n' \
        "$fake_input" org_kde_kwin_fake_input >"$XDG_DATA_HOME/applications/fake-input.desktop"
    [[ ${1:-} == [A-Z]* ]] &&
        printf '[stashbook]\ntoggle=%s,none,Show or hide Stashbook\n' "$1" >"$XDG_CONFIG_HOME/kglobalshortcutsrc"
    [ "${1:-}" = "no portal" ] || cp /usr/share/dbus-1/services/org.freedesktop.{portal.Desktop,impl.portal.desktop.kde,impl.portal.PermissionStore}.service "$s/services/"
    printf '<busconfig><type>session</type><listen>unix:path=%s/bus</listen><servicedir>%s/services</servicedir>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>\n' "$s" "$s" >"$s/bus.conf"
    dbus-daemon --config-file="$s/bus.conf" --nofork --nopidfile >"$s/dbus.log" 2>&1 &
    session_pids=("$!")
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$s/bus
    # KWin starts this once Xwayland is up, and tells it the display.
    printf '#!/bin/sh\necho "$DISPLAY" >"%s/display"\n' "$s" >"$s/up.sh" && chmod +x "$s/up.sh"
    "$work/kwin_wayland" --virtual --width 1280 --height 1024 --no-lockscreen --xwayland \
        --socket "$WAYLAND_DISPLAY" "$s/up.sh" >"$kwin_log" 2>&1 &
    kwin=$!
    session_pids+=("$kwin")
    pids+=("${session_pids[@]}")
    session_up() { [ -s "$s/display" ] && has_owner org.kde.kglobalaccel || ! alive "$kwin"; }
    timeout=20 until_true session_up
    alive "$kwin" && [ -s "$s/display" ] || skip "kwin_wayland did not start: $(tail -n 1 "$kwin_log")"
    xdisplay=$(cat "$s/display")
}
bus() { gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null; }
has_owner() { bus org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
stop_session() {
    kill "$pid" "${session_pids[@]}" 2>/dev/null
    wait "$kwin" 2>/dev/null
}
# The windows in KWin's list, one a line: "minimised? active? caption".
kwin_windows() {
    local n=$(date +%s%N) # unique: this runs in a subshell
    echo "var c = workspace.clientList(); for (var i = 0; i < c.length; ++i)
        print('W$n ' + c[i].minimized + ' ' + c[i].active + ' ' + c[i].caption);" >"$work/list$n.js"
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript "$work/list$n.js" "list$n" >/dev/null
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.start >/dev/null
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript "list$n" >/dev/null
    grep -a "js: W$n " "$kwin_log" | cut -d' ' -f3-
}
key() { "$fake_input" "$@" || fail "no key could be pressed"; }
# Keys go to the box once it has the keyboard, a moment after it is active.
answer() { key "$1" && sleep 0.3 && ! window_is box; }
# The portal, its KDE half included, ends as in a crash; the bus starts it
# anew when it is next called.
stop_portal() {
    local name owner
    for name in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde; do
        owner=$(bus org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.GetConnectionUnixProcessID "$name" | grep -o '[0-9]\+' | tail -n 1)
        [ -n "$owner" ] && kill "$owner"
    done
    timeout=5 until_true eval '! has_owner org.freedesktop.portal.Desktop' || fail "the portal did not end"
}
# The shortcut the program registered, as KWin keeps it: "key,default key".
registered() { timeout=5 until_true grep -qs "^toggle=$1," "$XDG_CONFIG_HOME/kglobalshortcutsrc" ||
    fail "no toggle shortcut \"$1\" in kglobalshortcutsrc"; }
# --- Both desktops ------------------------------------------------------------
launch() { # log [arguments]: runs the program in the session's way ($mode)
    local platform=xcb display=${xdisplay:-${DISPLAY:-}}
    [ "$mode" = native ] && platform=wayland
    (cd "$work" && DISPLAY=$display QT_QPA_PLATFORM=$platform exec "$program" --data-dir data "${@:2}") \
        >>"$work/$1.log" 2>&1 &
    pids+=("$!")
}
start() { # native|xwayland|x11
    mode=$1
    launch program
    pid=$!
}
quit() { kill "$pid" && wait "$pid" 2>/dev/null; }
# A further start for the folder ends at once with status 0.
hand_over() {
    launch again "$@"
    local t=$!
    timeout=5 until_true gone "$t" || fail "the further start did not end"
    wait "$t" || fail "the further start ended with status $?"
}
# --toggle hands over where a program runs; else it is one.
toggle() {
    if alive "$pid"; then
        hand_over --toggle
    else
        launch toggle --toggle
        pid=$!
        sleep 0.5
        alive "$pid" || fail "--toggle with no program running did not start one"
    fi
}
boxes() { xdotool search --onlyvisible --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' 2>/dev/null | wc -l; }
# A start for another folder runs beside; it finds Ctrl+T in use and says so once.
beside() {
    launch beside --data-dir other
    local b=$!
    timeout=5 until_true eval '(($(boxes) >= 1))' || fail "no Control-T box"
    sleep 0.5
    (($(boxes) == 1)) && alive "$pid" || fail "$(boxes) Control-T boxes; the first program $(alive "$pid" && echo runs || echo ended)"
    kill "$b"
}
# Two starts for a folder at the same moment leave one program.
race() {
    quit
    launch a
    local a=$!
    launch b
    local b=$!
    timeout=10 until_true eval 'gone $a || gone $b' || fail "both starts are still running"
    if gone "$a"; then wait "$a" && pid=$b; else wait "$b" && pid=$a; fi || fail "the start that handed over failed"
}
other() { (DISPLAY=${xdisplay:-$DISPLAY} exec xmessage -geometry +0+0 "another program" >/dev/null 2>&1) & pids+=("$!"); }
window_is() { # shown|minimised|hidden|box|no box
    if [ "$desktop" = x11 ]; then
        win=$(xdotool search --all --name '^Stashbook \(v' 2>/dev/null | head -n 1)
        case $1 in
        shown) [ -n "$win" ] && mapped && ! iconic ;;
        minimised) [ -n "$win" ] && iconic ;;
        hidden) [ -n "$win" ] && unmapped ;;
        "no box") sleep 0.5 && (($(boxes) == 0)) && window_is shown ;;
        *) fail "no such state: $1" ;;
        esac
        return
    fi
    local windows
    windows=$(kwin_windows)
    case $1 in
    shown) grep -q '^false [a-z]* Stashbook (v' <<<"$windows" ;;
    minimised) grep -q '^true [a-z]* Stashbook (v' <<<"$windows" ;;
    box) grep -q '^false true .*No Global Keys On This Desktop' <<<"$windows" ;;
    "no box") sleep 1.5 && ! window_is box && window_is shown ;;
    *) fail "no such state: $1" ;;
    esac
}

# A copied password on the X11 clipboard, with CopyQ told, as its documents
# advise, to keep nothing marked as a password manager's secret.
clip() { xclip -o -selection clipboard 2>/dev/null; }
start_clip() {
    mkdir -p "$work/clip" && printf '"Mail","m"\r\n' >"$work/clip/SB-Sites.DaT" &&
        printf '"Mail","bob","s3cret",""\r\n' >"$work/clip/SB-Acnts.DaT"
    copyq >"$work/copyq.log" 2>&1 &
    pids+=("$!")
    timeout=10 until_true copyq size >/dev/null 2>&1 || fail "CopyQ did not start"
    copyq eval "setCommands([{name: 'secrets', automatic: true, remove: true,
        input: 'x-kde-passwordManagerHint', cmd: 'copyq ignore'}])"
    quit
    launch program --data-dir clip --clipboard-seconds 2
    pid=$!
    timeout=5 until_true window_is shown || fail "no window"
}
copy_password() { # the site, its first account, the account menu's "Copy &Passowrd"
    xdotool windowactivate --sync "$win" key Down sleep 0.3 key Down sleep 0.3 key Menu sleep 0.5 key p
    sleep 0.3
    [ "$(clip)" = s3cret ] && [ "$(copyq size)" = 0 ] || fail "on the clipboard: $(clip); CopyQ keeps $(copyq size)"
}
copied_by_others() { printf other | xclip -selection clipboard; }

# --- The steps: what is done, then where the window is (" | " between) --------
if [ "$desktop" = x11 ]; then
    start_desktop
    needs "tint2 xclip copyq" tint2 xclip copyq
    mkdir -p "$work/data" "$work/other" && ln -s data "$work/link"
    steps='--toggle with no program running starts one, which takes Ctrl+T | toggle | no box
--toggle minimises the shown window and ends at once | toggle | minimised
--toggle shows it again | toggle | shown
Ctrl+T still hides and shows beside it | hot_key; timeout=5 until_true window_is minimised || fail "not minimised"; hot_key | shown
with a tray, --toggle hides the window to it | start_tint2; sleep 0.5; toggle | hidden
a further start for the folder, spelt another way, brings it back and ends | hand_over --data-dir link | shown
a further start while it is shown leaves it shown | hand_over --data-dir "$work/data/" | shown
a start for another folder runs beside it, told once that Ctrl+T is in use | beside | shown
a start after the program was killed runs normally and serves the folder | kill -KILL "$pid"; start x11; sleep 0.5; hand_over | no box
two starts at the same moment leave one program | race | shown
a copied password is on the clipboard, kept by no clipboard manager | start_clip; copy_password | shown
it is gone from the clipboard after the delay | sleep 2.5; [ -z "$(clip)" ] || fail "still there: $(clip)" | shown
a text copied since by another program stays | copy_password; copied_by_others; sleep 2.5; [ "$(clip)" = other ] || fail "$(clip)" | shown'
else
    program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
    command -v kwin_wayland >/dev/null || skip "kwin_wayland is not installed (package kwin-wayland)"
    [ -x "$fake_input" ] || skip "the fake-input client was not built (packages libwayland-dev plasma-wayland-protocols)"
    needs "dbus-daemon libglib2.0-bin xdg-desktop-portal-kde x11-utils" dbus-daemon gdbus xmessage
    [ -x /usr/libexec/xdg-desktop-portal ] || { echo "FAIL: no desktop portal (package xdg-desktop-portal)"; exit 1; }
    # The packaged binary carries a file capability that containers refuse.
    cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
    start_kwin
    steps='started natively on Wayland, it registers its shortcut | start native; registered Ctrl+T,Ctrl+T | shown
another program takes the focus | other | shown
Ctrl+T in the other program hides the window to the task list | key 29 20 | minimised
Ctrl+T shows it again | key 29 20 | shown
--toggle minimises it and ends at once | toggle | minimised
--toggle shows it | toggle | shown
with the portal gone the window stays in reach | stop_portal; toggle | minimised
a portal started anew takes Ctrl+T again | sleep 2; key 29 20 | shown
--toggle with no program running starts one | quit; toggle | shown
a key the user chose before wins over Ctrl+T | stop_session; start_kwin Meta+Ctrl+S; start native; registered Meta+Ctrl+S,Meta+Ctrl+S; key 29 20; sleep 0.5; window_is shown || fail "Ctrl+T toggled"; key 29 125 31 | minimised
without a portal, under Xwayland, a box tells how to bind --toggle | stop_session; start_kwin "no portal"; start xwayland | box
"do not show again" is remembered | timeout=3 until_true answer 49 || fail "the box took no answer"; quit; start xwayland | no box
--toggle minimises the Xwayland window | toggle | minimised'
fi

while read -r line; do
    step=${line%% | *} expected=${line##* | }
    action=${line#"$step | "}
    eval "${action%" | $expected"}"
    timeout=5 until_true window_is "$expected" ||
        fail "the window is not $expected$([ "$desktop" = x11 ] || printf '; in KWin: %s' "$(kwin_windows)")"
    ok
done <<<"$steps"
echo "PASS: Ctrl+T and --toggle on $desktop"
