#!/usr/bin/env bash
# The program on real desktops, driven as a user would, from one table of
# steps per desktop: "what is checked | what is done | where the window is".
#   xembed   Xvfb and openbox, later tint2's XEmbed tray: the window, Ctrl+T,
#            the tray icon and exit
#   sni      the same with LXQt's panel as StatusNotifierItem host, on a
#            private session bus, starting late, going away and hanging
#   x11      Ctrl+T, `stashbook --toggle` and one program per folder
#   wayland  the same on a headless KWin with the desktop portal on a private
#            bus, and Xwayland; keys go through KWin's fake input
#            (fake_input.c), which reaches its global shortcuts as a keyboard
#            does, and the windows are read from KWin's own list
#
#   tests/e2e/desktop.sh xembed|sni|x11|wayland path/to/stashbook [path/to/fake_input]
#
# Exits 0 when every step passed, 1 on the first failure, 77 (skipped) when
# the desktop cannot be started here. Each desktop has its own X server
# (Xvfb picks a free display), bus, runtime folder and Wayland socket.
set -u
usage="usage: desktop.sh xembed|sni|x11|wayland path/to/stashbook [path/to/fake_input]"
desktop=${1:?$usage} program=$(realpath -m "${2:?$usage}") fake_input=${3:-}
pid="" mode=x11 win="" sessions=0 xdisplay="" step="" within="" timeout=5 pids=()

skip() { echo "SKIP: $*" && exit 77; }
fail() {
    echo "FAIL: $step: $*"
    if [ "$desktop" = wayland ]; then
        echo "  in KWin: $(kwin_windows)"
    elif [ -n "$win" ]; then
        xprop -id "$win" WM_NAME _NET_WM_STATE WM_STATE WM_HINTS 2>&1 | sed 's/^/  /'
    fi
    for log in "$work"/*.log "$work"/*/*.log; do
        [ -s "$log" ] && echo "--- ${log#"$work"/}" && tail -n 20 "$log"
    done
    exit 1
}
needs() { # packages, tools...
    for tool in "${@:2}"; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (packages: $1)" && exit 1; }
    done
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Polls `$@` every 50 ms for up to $timeout seconds (fractions allowed).
until_true() {
    local end=$(($(now_ms) + $(awk "BEGIN { print int($timeout * 1000) }")))
    until "$@"; do
        (($(now_ms) >= end)) && return 1
        sleep 0.05
    done
}
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/stashbook-e2e.XXXXXX")
mkdir -p "$work/data" "$work/other"
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -CONT "${pids[i]}" 2>/dev/null
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
background() { "$@" & pids+=("$!"); } # its pid in $!

# --- An X server of its own, openbox, a tray, a session bus -------------------
start_desktop() {
    command -v Xvfb >/dev/null || skip "Xvfb is not installed, so no X server can be started (package xvfb)"
    # With an X server at hand, the rest of the desktop must be there too.
    needs "openbox xdotool x11-utils" openbox xdotool xprop xwininfo
    [ -x "$program" ] || { echo "FAIL: no program at $program" && exit 1; }
    # -displayfd has the server pick a free display number and report it.
    background Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1
    local xvfb=$!
    known() { grep -q '[0-9]' "$work/display" || gone "$xvfb"; }
    timeout=10 until_true known && grep -q '[0-9]' "$work/display" ||
        skip "Xvfb did not start ($(tail -n 1 "$work/xvfb.log")), so no X server is available here"
    export DISPLAY=:$(tr -dc '0-9' <"$work/display")
    # The number is told once the server listens; make sure it answers before
    # anything else connects (a loaded machine can be slow to get there).
    answers() { xprop -root >/dev/null 2>&1 || gone "$xvfb"; }
    timeout=10 until_true answers && xprop -root >/dev/null 2>&1 ||
        skip "Xvfb on $DISPLAY does not answer ($(tail -n 1 "$work/xvfb.log"))"
    # Keep the desktop's session out: no D-Bus of the user's, no settings.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY SESSION_MANAGER XDG_CURRENT_DESKTOP
    step="window manager"
    wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
    # On a loaded machine openbox has been seen to fail its first connection.
    for _ in 1 2 3; do
        background openbox >>"$work/openbox.log" 2>&1
        local wm=$!
        wm_up_or_gone() { wm_up || gone "$wm"; }
        timeout=10 until_true wm_up_or_gone && wm_up && return
        sleep 0.5
    done
    fail "openbox did not come up"
}
# tint2 as an XEmbed tray along the bottom of the screen.
start_tint2() {
    printf 'panel_items = S\npanel_size = 100%% 32\npanel_position = bottom center horizontal\n%s\n' \
        'systray_icon_size = 24' >"$work/tint2rc"
    : >"$work/tint2.log"
    background tint2 -c "$work/tint2rc" >"$work/tint2.log" 2>&1
    tint2=$!
    timeout=10 until_true grep -q 'systray started' "$work/tint2.log" || fail "tint2 did not start its tray"
}
start_bus() { # folder [services folder]: a private session bus in the folder
    printf '<busconfig><type>session</type><listen>unix:path=%s/bus</listen>%s
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>\n' "$1" "${2:+<servicedir>$2</servicedir>}" >"$1/bus.conf"
    background dbus-daemon --config-file="$1/bus.conf" --nofork --nopidfile >"$1/dbus.log" 2>&1
    session_pids=("$!")
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$1/bus
    timeout=5 until_true dbus GetId >/dev/null || fail "the session bus did not start"
}
bus() { gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null; }
dbus() { bus org.freedesktop.DBus /org/freedesktop/DBus "org.freedesktop.DBus.$1" "${@:2}"; }
has_owner() { dbus NameHasOwner "$1" | grep -q true; }
owner_pid() { dbus GetConnectionUnixProcessID "$1" | grep -o '[0-9]\+' | tail -n 1; }

# --- The program and its window -------------------------------------------------
launch() { # log [arguments]: the program on the folder "data", in the session's way ($mode)
    local platform=xcb
    [ "$mode" = native ] && platform=wayland
    (cd "$work" && DISPLAY=${xdisplay:-${DISPLAY:-}} QT_QPA_PLATFORM=$platform exec "$program" \
        --data-dir data "${@:2}") >>"$work/$1.log" 2>&1 &
    pids+=("$!")
}
start() { mode=${1:-x11} && launch program && pid=$!; } # [native|xwayland|x11]
quit() { kill "$pid" && wait "$pid" 2>/dev/null; }
mapped() { xwininfo -id "$win" | grep -q 'Map State: IsViewable'; }
unmapped() { xwininfo -id "$win" | grep -q 'Map State: IsUnMapped'; }
iconic() { xprop -id "$win" WM_STATE | grep -q 'window state: Iconic'; }
in_task_list() { ! xprop -id "$win" _NET_WM_STATE | grep -q '_NET_WM_STATE_SKIP_TASKBAR'; }
boxes() { xdotool search --onlyvisible --name '^\[Stashbook\]  :Hot Key:  Control-T Is In Use$' 2>/dev/null | wc -l; }
window_is() { # shown|listed|unlisted (shown in / out of the task list)|minimised|hidden|gone|box|no box
    [ "$1" = gone ] && { gone "$pid"; return; }
    if [ "$desktop" = wayland ]; then
        local windows
        windows=$(kwin_windows)
        case $1 in
        shown) grep -q '^false [a-z]* Stashbook (v' <<<"$windows" ;;
        minimised) grep -q '^true [a-z]* Stashbook (v' <<<"$windows" ;;
        box) grep -q '^false true .*No Global Keys On This Desktop' <<<"$windows" ;;
        "no box") sleep 1.5 && ! window_is box && window_is shown ;;
        *) fail "no such state: $1" ;;
        esac
        return
    fi
    win=$(xdotool search --all --pid "$pid" --name '^Stashbook \(v' 2>/dev/null | head -n 1)
    case $1 in
    shown) [ -n "$win" ] && mapped && ! iconic ;;
    listed) window_is shown && in_task_list ;;
    unlisted) window_is shown && ! in_task_list ;;
    minimised) [ -n "$win" ] && iconic ;;
    hidden) [ -n "$win" ] && unmapped && ! iconic ;; # in the tray
    "no box") sleep 0.5 && (($(boxes) == 0)) && window_is shown ;;
    *) fail "no such state: $1" ;;
    esac
}
expect() { timeout=${within:-5} until_true window_is "$1" || fail "the window is not $1"; }
# Each step is done, then the window must get where it says within 5 s (or
# $within seconds when the step sets it).
run_steps() {
    local line expected t last_ok=$(now_ms)
    while IFS= read -r line; do
        step=${line%% | *} expected=${line##* | } line=${line#* | }
        eval "${line% | *}" </dev/null
        expect "$expected"
        t=$(now_ms) within=""
        echo "ok - $step ($((t - last_ok)) ms)"
        last_ok=$t
    done
    echo "PASS: every step on $desktop"
}
hot_key() { xdotool key ctrl+t; }
minimise() { xdotool windowminimize "$win"; }
close_window() { xdotool windowactivate --sync "$win" 2>/dev/null; xdotool key alt+F4; }
toggle_twice() { hot_key && expect hidden && hot_key; }
# A start for another folder runs beside; it finds Ctrl+T in use and says so once.
beside() {
    launch beside --data-dir other
    local b=$!
    timeout=10 until_true eval '(($(boxes) >= 1))' || fail "no Control-T box"
    sleep 0.5
    (($(boxes) == 1)) && alive "$pid" || fail "$(boxes) Control-T boxes; the first program $(alive "$pid" && echo runs || echo ended)"
    kill "$b" && timeout=5 until_true gone "$b" || fail "the start beside did not end"
}
# The tray menu's exit, "   E&xit", picked by its mnemonic in the open menu.
exit_by_menu() { click_icon 3 && timeout=3 until_true menu_open && xdotool key x || fail "the tray menu did not open"; }

# --- The XEmbed tray ----------------------------------------------------------------
if [ "$desktop" = xembed ]; then
    start_desktop
    needs "tint2 imagemagick" tint2 import identify
    # The icon is the program's small window named just "Stashbook", docked into tint2.
    find_icon() {
        for icon in $(xdotool search --all --onlyvisible --pid "$pid" --classname stashbook 2>/dev/null); do
            xprop -id "$icon" _NET_WM_NAME | grep -q '= "Stashbook"$' && return
        done
        return 1
    }
    # Clicks closer together than the double-click interval make a double-click.
    click_icon() { sleep 0.5 && find_icon && xdotool mousemove --window "$icon" 12 12 click "$@" || fail "no tray icon"; }
    # The open menu is a third visible window beside the main window and the icon.
    menu_open() { (($(xdotool search --all --onlyvisible --pid "$pid" --classname stashbook | wc -l) > 2)); }
    # An empty icon leaves tint2's plain background: one or two colours.
    has_picture() {
        local x y w h
        timeout=5 until_true find_icon || fail "no tray icon"
        eval "$(xwininfo -id "$icon" | awk -F: '/Absolute upper-left X/ { print "x=" $2 }
            /Absolute upper-left Y/ { print "y=" $2 } /Width/ { print "w=" $2 } /Height/ { print "h=" $2 }' | tr -d ' ')"
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/icon.png" 2>/dev/null &&
            (($(identify -format '%k' "$work/icon.png") > 8)) || fail "the tray icon's place shows no picture"
    }
    hold_ctrl_t() { # well past the auto-repeat delay, and released
        xdotool keydown ctrl+t
        expect hidden
        local end=$((SECONDS + 2))
        while ((SECONDS < end)); do
            unmapped || { xdotool keyup ctrl+t; fail "auto-repeat of a held Ctrl+T toggled the window again"; }
        done
        xdotool keyup ctrl+t && sleep 0.3
    }
    with_locks() { xdotool key "$@" && toggle_twice && expect unlisted && xdotool key "$@"; }
    forward_by_menu() { # from behind another program's window
        background xmessage -geometry +0+0 "another program" >/dev/null 2>&1
        local xmessage=$! other=""
        timeout=5 until_true eval 'other=$(xdotool search --name "^xmessage$" 2>/dev/null | head -n 1) && [ -n "$other" ]' ||
            fail "no other program's window to compete with"
        xdotool windowactivate --sync "$other" 2>/dev/null
        [ "$(xdotool getactivewindow)" = "$other" ] || fail "could not activate another window"
        click_icon 3 && timeout=3 until_true menu_open || fail "the tray menu did not open"
        timeout=3 until_true eval '[ "$(xdotool getactivewindow)" = "$win" ]' || fail "the window did not come forward"
        xdotool key Escape
        timeout=3 until_true eval '! menu_open' || fail "the tray menu did not close"
        kill "$xmessage"
    }
    run_steps <<'EOF'
without a tray the window stays in the task list | start; expect shown; sleep 0.3; within=0 | listed
without a tray Ctrl+T minimises it into the task list and restores it | hot_key; expect minimised; hot_key | listed
minimising leaves it minimised in the task list | minimise; expect minimised; sleep 0.3; within=0 | minimised
Ctrl+T restores the minimised window | hot_key | listed
without a tray closing ends the program | close_window | gone
a new start takes Ctrl+T, freed by the one before | start; expect shown | no box
a tray that appears later is taken at once | start_tint2 | unlisted
from then on minimising hides to the tray, Ctrl+T shows it | minimise; expect hidden; hot_key | unlisted
the tray icon shows the program's picture | has_picture | unlisted
Ctrl+T hides and shows, five times over | for _ in 1 2 3 4 5; do toggle_twice; expect unlisted; done | unlisted
Ctrl+T with Num_Lock on | with_locks Num_Lock | unlisted
Ctrl+T with Caps_Lock on | with_locks Caps_Lock | unlisted
Ctrl+T with Num_Lock and Caps_Lock on | with_locks Num_Lock Caps_Lock | unlisted
holding Ctrl+T toggles once; a further Ctrl+T shows the window | hold_ctrl_t; expect hidden; hot_key | unlisted
a tray double-click hides and shows | click_icon --repeat 2 --delay 80 1; expect hidden; click_icon --repeat 2 --delay 80 1 | unlisted
a single click on a tray that reports double-clicks does nothing | click_icon 1; sleep 1 | unlisted
minimising hides to the tray, Ctrl+T shows it | minimise; expect hidden; hot_key | unlisted
closing hides to the tray, Ctrl+T shows it | close_window; expect hidden; alive "$pid" && hot_key | unlisted
a start for another folder finds Ctrl+T in use; the key stays ours | beside; toggle_twice | unlisted
a right click on the tray icon brings the window forward | forward_by_menu | unlisted
the tray menu's exit ends the program | exit_by_menu | gone
a new start goes out of the task list at once and takes Ctrl+T | start; expect unlisted; has_picture; window_is "no box" || fail "a box"; toggle_twice | unlisted
the tray going away while the window is shown puts it back in the task list | kill "$tint2"; within=1 | listed
a tray coming back takes the icon again, Ctrl+T hides the window to it | start_tint2; has_picture; hot_key | hidden
the tray going away while the window is hidden shows it | kill "$tint2"; within=2 | listed
EOF
fi

# --- A StatusNotifierItem host ---------------------------------------------------
if [ "$desktop" = sni ]; then
    start_desktop
    needs "lxqt-panel dbus-daemon libglib2.0-bin tint2" lxqt-panel dbus-daemon gdbus tint2
    step="session bus"
    start_bus "$work"
    mkdir -p "$XDG_CONFIG_HOME/lxqt"
    printf 'panels=panel1\n[panel1]\nplugins=statusnotifier\nposition=Bottom\n[statusnotifier]\ntype=statusnotifier\n' \
        >"$XDG_CONFIG_HOME/lxqt/panel.conf"
    start_host() {
        background lxqt-panel >>"$work/panel.log" 2>&1
        host=$!
        timeout=10 until_true has_owner org.kde.StatusNotifierWatcher || fail "lxqt-panel did not start its StatusNotifierWatcher"
    }
    stop_host() { kill "$host" && wait "$host" 2>/dev/null; }
    items() { bus org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'"; }
    find_item() { # the program's item: sets item_service and item_path
        for entry in $(items); do
            item_service=${entry%%/*} item_path=/StatusNotifierItem
            [[ $entry == */* ]] && item_path=/${entry#*/}
            [ "$(owner_pid "$item_service")" = "$pid" ] && return
        done
        return 1
    }
    item() { bus "$item_service" "$item_path" "$@"; }
    item_gone() { ! items | grep -Eq "^$item_service(/|\$)"; }
    has_picture() {
        timeout=3 until_true find_item || fail "no item of the program's is registered"
        local pixmap
        pixmap=$(item org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem IconPixmap)
        grep -Eq '\([1-9][0-9]*, [1-9][0-9]*, \[byte' <<<"$pixmap" || fail "IconPixmap holds no picture: ${pixmap:0:80}"
        (($(grep -o '0x[0-9a-f]*' <<<"$pixmap" | grep -vc '^0x00$') > 256)) || fail "IconPixmap is blank"
    }
    # The icon's button, the panel's first, at its left end.
    click_icon() {
        local X Y WIDTH HEIGHT WINDOW SCREEN
        eval "$(xdotool search --onlyvisible --classname lxqt-panel getwindowgeometry --shell | head -n 6)"
        sleep 0.5 # clicks closer together make a double-click
        xdotool mousemove $((X + 16)) $((Y + HEIGHT / 2)) click "$1"
    }
    menu_open() { (($(xdotool search --all --onlyvisible --pid "$host" 2>/dev/null | wc -l) > 1)); }
    hung_host_toggles() { # at once, three times
        kill -STOP "$host"
        for _ in 1 2 3; do
            hot_key && timeout=1 until_true unmapped || fail "Ctrl+T did not hide the window within a second"
            hot_key && timeout=1 until_true mapped || fail "Ctrl+T did not show the window within a second"
        done
        kill -CONT "$host"
    }
    run_steps <<'EOF'
without a tray host the window stays in the task list | start; expect shown; sleep 0.3; within=0 | listed
a host started after the program is taken at once | start_host | unlisted
from then on minimising hides to the tray | minimise | hidden
the item is registered with the program's picture | has_picture | hidden
a click on the icon toggles once, twice over | click_icon 1; sleep 1; expect unlisted; click_icon 1; sleep 1 | hidden
Activate over D-Bus toggles once | item org.kde.StatusNotifierItem.Activate 0 0 >/dev/null; sleep 1 | unlisted
the host going away while the window is shown puts it back in the task list | stop_host; within=1 | listed
a host coming back takes the icon again, Ctrl+T hides the window to it | start_host; has_picture; hot_key | hidden
the host going away while the window is hidden shows it | stop_host; within=2 | listed
with the host hung, Ctrl+T still hides and shows at once | start_host; expect unlisted; hung_host_toggles | unlisted
an XEmbed tray in the host's place cannot take the icon: the window stays in reach | stop_host; expect listed; start_tint2; sleep 0.5; within=0 | listed
minimising then leaves it in the task list, Ctrl+T restores it | minimise; expect minimised; hot_key | listed
a host in the tray's place takes the icon | kill "$tint2"; start_host | unlisted
the tray menu's exit ends the program and takes the item away | exit_by_menu; expect gone; timeout=2 until_true item_gone || fail "the item stayed registered" | gone
EOF
fi

# --- Ctrl+T and --toggle --------------------------------------------------------
# A further start for the folder ends at once with status 0.
hand_over() {
    launch again "$@"
    local t=$!
    timeout=5 until_true gone "$t" || fail "the further start did not end"
    wait "$t" || fail "the further start ended with status $?"
}
# --toggle hands over where a program runs; else it is one.
toggle() {
    alive "$pid" && hand_over --toggle && return
    launch toggle --toggle && pid=$! && sleep 0.5
    alive "$pid" || fail "--toggle with no program running did not start one"
}
# Two starts for a folder at the same moment leave one program.
race() {
    quit
    launch a && local a=$!
    launch b && local b=$!
    timeout=10 until_true eval 'gone $a || gone $b' || fail "both starts are still running"
    if gone "$a"; then wait "$a" && pid=$b; else wait "$b" && pid=$a; fi || fail "the start that handed over failed"
}
# A copied password on the clipboard, with CopyQ told, as its documents
# advise, to keep nothing marked as a password manager's secret.
clip() { xclip -o -selection clipboard 2>/dev/null; }
start_clip() {
    mkdir -p "$work/clip" && printf '"Mail","m"\r\n' >"$work/clip/SB-Sites.DaT" &&
        printf '"Mail","bob","s3cret",""\r\n' >"$work/clip/SB-Acnts.DaT"
    background copyq >"$work/copyq.log" 2>&1
    timeout=10 until_true copyq size >/dev/null 2>&1 || fail "CopyQ did not start"
    copyq eval "setCommands([{name: 'secrets', automatic: true, remove: true,
        input: 'x-kde-passwordManagerHint', cmd: 'copyq ignore'}])"
    quit
    launch program --data-dir clip --clipboard-seconds 2 && pid=$! && expect shown
}
copy_password() { # the site, its first account, the account menu's "Copy &Passowrd"
    xdotool windowactivate --sync "$win" key Down sleep 0.3 key Down sleep 0.3 key Menu sleep 0.5 key p
    sleep 0.3
    [ "$(clip)" = s3cret ] && [ "$(copyq size)" = 0 ] || fail "on the clipboard: $(clip); CopyQ keeps $(copyq size)"
}
# A logout (SIGTERM) while a question is open ends the program as its Exit
# does: nothing written, status 0.
logout() {
    local before
    before=$(cat "$work/clip/"SB-*)
    xdotool windowactivate --sync "$win" key alt+r
    timeout=5 until_true xdotool search --onlyvisible --name '^\[Stashbook\]  :Remove Site:' || fail "no question"
    kill -TERM "$pid"
    timeout=5 until_true gone "$pid" || fail "still running"
    wait "$pid" || fail "it ended with status $?"
    [ "$(cat "$work/clip/"SB-*)" = "$before" ] || fail "the files changed"
}
if [ "$desktop" = x11 ]; then
    start_desktop
    needs "tint2 xclip copyq" tint2 xclip copyq
    ln -s data "$work/link"
    run_steps <<'EOF'
--toggle with no program running starts one, which takes Ctrl+T | toggle | no box
--toggle minimises the shown window and ends at once, and shows it again | toggle; expect minimised; toggle | shown
Ctrl+T still hides and shows beside it | hot_key; expect minimised; hot_key | shown
with a tray, --toggle hides the window to it | start_tint2; sleep 0.5; toggle | hidden
a further start for the folder, spelt another way, brings it back and ends | hand_over --data-dir link | shown
a further start while it is shown leaves it shown | hand_over --data-dir "$work/data/" | shown
a start for another folder runs beside it, told once that Ctrl+T is in use | beside | shown
a start after the program was killed runs normally and serves the folder | kill -KILL "$pid"; start x11; sleep 0.5; hand_over | no box
two starts at the same moment leave one program | race | shown
a copied password is on the clipboard, kept by no clipboard manager | start_clip; copy_password | shown
it is gone from the clipboard after the delay | sleep 2.5; [ -z "$(clip)" ] || fail "still there: $(clip)" | shown
a text copied since by another program stays | copy_password; printf other | xclip -selection clipboard; sleep 2.5; [ "$(clip)" = other ] || fail "$(clip)" | shown
a logout while the Remove Site question is open writes nothing and ends as Exit does | logout | gone
EOF
fi

# --- Wayland: KWin, its portal, Xwayland ---------------------------------------------
# A KWin session of its own (fresh settings, bus and runtime folder); with
# "no portal" its bus cannot start the desktop portal; with a key, that key
# is the user's choice for the toggle shortcut before the program ever ran.
start_kwin() { # [preset key | no portal]
    local s=$work/kwin$((++sessions))
    export HOME=$s/home XDG_CONFIG_HOME=$s/config XDG_DATA_HOME=$s/data XDG_RUNTIME_DIR=$s/run
    export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=stashbook-e2e-$$-$sessions
    unset DISPLAY QT_QPA_PLATFORM
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$s/services"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    kwin_log=$s/kwin.log
    printf '[Desktop Entry]\nType=Application\nName=keys\nExec=%s\nX-KDE-Wayland-Interfaces=%s\n' \
        "$fake_input" org_kde_kwin_fake_input >"$XDG_DATA_HOME/applications/fake-input.desktop"
    [[ ${1:-} == [A-Z]* ]] &&
        printf '[stashbook]\ntoggle=%s,none,Show or hide Stashbook\n' "$1" >"$XDG_CONFIG_HOME/kglobalshortcutsrc"
    [ "${1:-}" = "no portal" ] || cp /usr/share/dbus-1/services/org.freedesktop.{portal.Desktop,impl.portal.desktop.kde,impl.portal.PermissionStore}.service "$s/services/"
    start_bus "$s" "$s/services"
    # KWin starts this once Xwayland is up, and tells it the display.
    printf '#!/bin/sh\necho "$DISPLAY" >"%s/display"\n' "$s" >"$s/up.sh" && chmod +x "$s/up.sh"
    background "$work/kwin_wayland" --virtual --width 1280 --height 1024 --no-lockscreen --xwayland \
        --socket "$WAYLAND_DISPLAY" "$s/up.sh" >"$kwin_log" 2>&1
    kwin=$!
    session_pids+=("$kwin")
    session_up() { [ -s "$s/display" ] && has_owner org.kde.kglobalaccel || gone "$kwin"; }
    timeout=20 until_true session_up
    alive "$kwin" && [ -s "$s/display" ] || skip "kwin_wayland did not start: $(tail -n 1 "$kwin_log")"
    xdisplay=$(cat "$s/display")
}
stop_session() { kill "$pid" "${session_pids[@]}" 2>/dev/null; wait "$kwin" 2>/dev/null; }
# The windows in KWin's list, one a line: "minimised? active? caption".
kwin_windows() {
    local n=$(date +%s%N) # unique: this runs in a subshell
    echo "var c = workspace.clientList(); for (var i = 0; i < c.length; ++i)
        print('W$n ' + c[i].minimized + ' ' + c[i].active + ' ' + c[i].caption);" >"$work/list$n.js"
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript "$work/list$n.js" "list$n" >/dev/null
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.start >/dev/null
    bus org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript "list$n" >/dev/null
    grep -a "js: W$n " "${kwin_log:-/dev/null}" | cut -d' ' -f3-
}
key() { "$fake_input" "$@" || fail "no key could be pressed"; }
# Keys go to the box once it has the keyboard, a moment after it is active.
answer() { key "$1" && sleep 0.3 && ! window_is box; }
# The portal, its KDE half included, ends as in a crash; the bus starts it
# anew when it is next called.
stop_portal() {
    for name in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde; do
        owner=$(owner_pid "$name") && [ -n "$owner" ] && kill "$owner"
    done
    timeout=5 until_true eval '! has_owner org.freedesktop.portal.Desktop' || fail "the portal did not end"
}
# The shortcut the program registered, as KWin keeps it: "key,default key".
registered() { timeout=5 until_true grep -qs "^toggle=$1," "$XDG_CONFIG_HOME/kglobalshortcutsrc" ||
    fail "no toggle shortcut \"$1\" in kglobalshortcutsrc"; }
other() { (DISPLAY=$xdisplay exec xmessage -geometry +0+0 "another program" >/dev/null 2>&1) & pids+=("$!"); }
if [ "$desktop" = wayland ]; then
    command -v kwin_wayland >/dev/null || skip "kwin_wayland is not installed (package kwin-wayland)"
    [ -x "$fake_input" ] || skip "the fake-input client was not built (packages libwayland-dev plasma-wayland-protocols)"
    needs "dbus-daemon libglib2.0-bin xdg-desktop-portal-kde x11-utils" dbus-daemon gdbus xmessage
    [ -x /usr/libexec/xdg-desktop-portal ] || { echo "FAIL: no desktop portal (package xdg-desktop-portal)" && exit 1; }
    # The packaged binary carries a file capability that containers refuse.
    cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
    start_kwin
    run_steps <<'EOF'
started natively on Wayland, it registers its shortcut | start native; registered Ctrl+T,Ctrl+T | shown
another program takes the focus | other | shown
Ctrl+T in the other program hides the window to the task list and shows it | key 29 20; expect minimised; key 29 20 | shown
--toggle minimises it and ends at once, and shows it | toggle; expect minimised; toggle | shown
with the portal gone the window stays in reach | stop_portal; toggle | minimised
a portal started anew takes Ctrl+T again | sleep 2; key 29 20 | shown
--toggle with no program running starts one | quit; toggle | shown
a key the user chose before wins over Ctrl+T | stop_session; start_kwin Meta+Ctrl+S; start native; registered Meta+Ctrl+S,Meta+Ctrl+S; key 29 20; sleep 0.5; window_is shown || fail "Ctrl+T toggled"; key 29 125 31 | minimised
without a portal, under Xwayland, a box tells how to bind --toggle | stop_session; start_kwin "no portal"; start xwayland | box
"do not show again" is remembered | timeout=3 until_true answer 49 || fail "the box took no answer"; quit; start xwayland | no box
--toggle minimises the Xwayland window | toggle | minimised
EOF
fi
