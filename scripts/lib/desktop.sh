# Shell helpers for a throw-away desktop: a private Xvfb, AfterStep with the
# configuration in scripts/lib/afterstep, and stopping what was started.
# Sourced by scripts/demo; every function reports on stderr and returns
# non-zero rather than exiting, so the caller's clean-up still runs.

DESKTOP_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Waits until "$@" succeeds, polling every 0.1 s, for at most $1 seconds.
wait_for() {
    local seconds=$1; shift
    local tries=$((seconds * 10))
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Runs "$@" in the background in a session of its own, so that a Ctrl-C on
# the terminal reaches only the script, which then stops everything in order
# (a window manager whose server vanishes first can hang). setsid does not
# fork here, so $! is the program's own pid.
spawn() {
    setsid "$@" &
}

# True when the X server named by $DISPLAY answers.
display_reachable() {
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Starts Xvfb on a display number it picks itself; sets XVFB_PID and DISPLAY.
# $1: a scratch directory, $2: screen geometry (e.g. 1024x768x24).
start_xvfb() {
    local dir=$1 geometry=$2
    local numfile=$dir/display-number
    : > "$numfile"
    # -noreset: a server that resets when its last client leaves drops the
    # connections that arrive meanwhile, and the readiness checks come and go.
    spawn Xvfb -displayfd 5 -nolisten tcp -noreset -screen 0 "$geometry" 5>"$numfile" 2>"$dir/xvfb.log"
    XVFB_PID=$!
    if ! wait_for 20 test -s "$numfile"; then
        echo "demo: Xvfb did not start (see $dir/xvfb.log)" >&2
        return 1
    fi
    DISPLAY=:$(tr -d '[:space:]' < "$numfile")
    export DISPLAY
}

# Fills $1 (a fresh HOME) with the private AfterStep configuration.
prepare_afterstep_home() {
    local home=$1
    mkdir -p "$home"
    cp -R "$DESKTOP_LIB_DIR/afterstep" "$home/.afterstep"
    rm -f "$home/.afterstep/README"
    mkdir -p "$home/.afterstep/start"  # an empty start menu is quick to read
}

# True once AfterStep has run its start-up function: four desks, back on 0.
afterstep_ready() {
    local count desk
    count=$(xprop -root _WIN_WORKSPACE_COUNT 2>/dev/null | sed -n 's/.*= //p')
    desk=$(xprop -root _WIN_WORKSPACE 2>/dev/null | sed -n 's/.*= //p')
    [ "$count" = 4 ] && [ "$desk" = 0 ]
}

# Starts AfterStep on $DISPLAY with HOME=$1; sets WM_PID.
start_afterstep() {
    local home=$1
    prepare_afterstep_home "$home"
    # An unreachable session bus keeps it from starting a bus daemon.
    HOME=$home DBUS_SESSION_BUS_ADDRESS=unix:path=$home/no-bus \
        spawn afterstep >"$home/afterstep.log" 2>&1
    WM_PID=$!
    if ! wait_for 30 afterstep_ready; then
        echo "demo: AfterStep did not come up; the end of its output:" >&2
        tail -n 20 "$home/afterstep.log" >&2
        kill -0 "$XVFB_PID" 2>/dev/null || echo "demo: the X server $DISPLAY has gone" >&2
        return 1
    fi
}

# Asks AfterStep (HOME=$1) to quit through its command interface, then makes
# sure it is gone. A SIGTERM that arrives while it is busy with vanishing
# clients can deadlock it, so the signal is only the fallback.
stop_afterstep() {
    local home=$1
    [ -n "$WM_PID" ] || return 0
    if kill -0 "$WM_PID" 2>/dev/null; then
        HOME=$home timeout 5 ascommand Quit >/dev/null 2>&1
        wait_for 5 eval "! kill -0 $WM_PID" || true
    fi
    stop_pid "$WM_PID" 3
}

# Number of windows in the window manager's client list.
client_count() {
    xprop -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*#//p' | tr ',' '\n' | grep -c 0x
}

# True when the window manager lists at least $1 clients.
clients_listed() {
    [ "$(client_count)" -ge "$1" ]
}

# Stops one process we started: SIGTERM, then SIGKILL after $2 seconds
# (AfterStep takes about a second to exit and can hang if its server goes
# first).
stop_pid() {
    local pid=$1 grace=${2:-5}
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    if ! wait_for "$grace" eval "! kill -0 $pid"; then
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    return 0
}
