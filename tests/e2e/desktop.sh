# The real-desktop tests' common ground, sourced by each of them: a private X
# server (Xvfb, on a free display) with openbox as window manager, the
# program run in a temporary folder, and checks on its main window.
#
# A test script sets `program` and calls start_desktop first. It exits 0 when
# every check passed, 1 on the first failure, 77 (skipped) when no X server
# can be started here.

skip() {
    echo "SKIP: $*"
    exit 77
}

step=""
fail() {
    echo "FAIL: $step: $*"
    [ -n "${win:-}" ] && xprop -id "$win" WM_NAME _NET_WM_STATE WM_STATE WM_HINTS 2>&1 | sed 's/^/  /'
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
    done
    exit 1
}
# Each check says how long it took since the one before.
ok() {
    local t
    t=$(now_ms)
    echo "ok - $step ($((t - last_ok)) ms)"
    last_ok=$t
}

needs() { # packages, tools...
    local packages=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (packages: $packages)"; exit 1; }
    done
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
last_ok=$(now_ms)

# Polls `$@` every 50 ms for up to $timeout seconds (fractions allowed).
timeout=5
until_true() {
    local end=$(($(now_ms) + $(awk "BEGIN { print int($timeout * 1000) }")))
    while ! "$@"; do
        (($(now_ms) >= end)) && return 1
        sleep 0.05
    done
}

work=$(mktemp -d "${TMPDIR:-/tmp}/stashbook-e2e.XXXXXX")
pids=()

cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill -CONT "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

start_desktop() {
    program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
    command -v Xvfb >/dev/null || skip "Xvfb is not installed, so no X server can be started (package xvfb)"
    # With an X server at hand, the rest of the desktop must be there too.
    needs "openbox xdotool x11-utils" openbox xdotool xprop xwininfo
    [ -x "$program" ] || { echo "FAIL: no program at $program"; exit 1; }

    # -displayfd has the server pick a free display number and report it.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    local xvfb=$!
    pids+=("$xvfb")
    display_known() { grep -q '[0-9]' "$work/display" || ! kill -0 "$xvfb" 2>/dev/null; }
    timeout=10 until_true display_known
    grep -q '[0-9]' "$work/display" ||
        skip "Xvfb did not start ($(tail -n 1 "$work/xvfb.log")), so no X server is available here"
    DISPLAY=:$(tr -dc '0-9' <"$work/display")
    export DISPLAY
    # The number is told once the server listens; make sure it answers before
    # anything else connects (a loaded machine can be slow to get there).
    server_answers() { xprop -root >/dev/null 2>&1 || ! kill -0 "$xvfb" 2>/dev/null; }
    timeout=10 until_true server_answers
    xprop -root >/dev/null 2>&1 ||
        skip "Xvfb on $DISPLAY does not answer ($(tail -n 1 "$work/xvfb.log"))"

    # Keep the desktop's session out: no D-Bus of the user's, no settings.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/data"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY SESSION_MANAGER XDG_CURRENT_DESKTOP
    export QT_QPA_PLATFORM=xcb

    step="window manager"
    wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
    # On a loaded machine openbox has been seen to fail its first connection;
    # it gets three tries.
    local try wm
    for try in 1 2 3; do
        openbox >>"$work/openbox.log" 2>&1 &
        wm=$!
        pids+=("$wm")
        wm_up_or_gone() { wm_up || ! kill -0 "$wm" 2>/dev/null; }
        timeout=10 until_true wm_up_or_gone
        wm_up && break
        sleep 0.5
    done
    wm_up || fail "openbox did not come up"
}

start_program() { # name [arguments...]
    (cd "$work/data" && exec "$program" "${@:2}") >"$work/$1.log" 2>&1 &
    pids+=("$!")
    last_pid=$!
}

main_window() { xdotool search --all --pid "$1" --name '^Stashbook \(v' 2>/dev/null | head -n 1; }
has_main_window() { [ -n "$(main_window "$1")" ]; }
wait_for_main_window() { # pid
    timeout=10 until_true has_main_window "$1" || fail "no main window appeared"
    win=$(main_window "$1")
}

mapped() { xwininfo -id "$win" | grep -q 'Map State: IsViewable'; }
unmapped() { xwininfo -id "$win" | grep -q 'Map State: IsUnMapped'; }
iconic() { xprop -id "$win" WM_STATE | grep -q 'window state: Iconic'; }
out_of_task_list() { xprop -id "$win" _NET_WM_STATE | grep -q '_NET_WM_STATE_SKIP_TASKBAR'; }
in_task_list() { ! out_of_task_list; }
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

expect_shown() {
    timeout=5 until_true mapped || fail "the window is not shown"
    timeout=2 until_true out_of_task_list || fail "the shown window is in the task list"
}
expect_hidden() { timeout=5 until_true unmapped || fail "the window is not hidden"; }
# Shown and in the task list: where the window must be without a tray.
expect_in_reach() {
    timeout=2 until_true mapped || fail "the window was not shown"
    timeout=2 until_true in_task_list || fail "the window stayed out of the task list"
    iconic && fail "the window came back minimised"
}

hot_key() { xdotool key ctrl+t; }

# tint2 as an XEmbed tray along the bottom of the screen.
start_tint2() {
    cat >"$work/tint2rc" <<'EOF'
panel_items = S
panel_size = 100% 32
panel_position = bottom center horizontal
systray_padding = 2 2 2
systray_icon_size = 24
EOF
    : >"$work/tint2.log"
    tint2 -c "$work/tint2rc" >"$work/tint2.log" 2>&1 &
    tint2=$!
    pids+=("$tint2")
    timeout=10 until_true grep -q 'systray started' "$work/tint2.log" || fail "tint2 did not start its tray"
}
