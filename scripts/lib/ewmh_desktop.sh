# Shell helpers for a throw-away desktop under a window manager that speaks
# only EWMH: Openbox or IceWM, each with its private configuration in
# scripts/lib/openbox or scripts/lib/icewm. Sourced by scripts/demo after
# desktop.sh, whose wait_for, spawn and stop_pid these use; like those, they
# report on stderr and return non-zero rather than exit.

EWMH_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# True once the window manager has published four desktops and is on the
# first.
ewmh_ready() {
    local count desk
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || return 1
    count=$(xprop -root _NET_NUMBER_OF_DESKTOPS 2>/dev/null | sed -n 's/.*= //p')
    desk=$(xprop -root _NET_CURRENT_DESKTOP 2>/dev/null | sed -n 's/.*= //p')
    [ "$count" = 4 ] && [ "$desk" = 0 ]
}

# Starts window manager $2 (openbox or icewm) on $DISPLAY with HOME=$1;
# sets WM_PID.
start_ewmh_window_manager() {
    local home=$1 wm=$2
    mkdir -p "$home/.config" "$home/.cache"
    # An unreachable session bus keeps it from starting a bus daemon.
    local env=(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache"
               DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus")
    case $wm in
        openbox)
            env "${env[@]}" setsid openbox --sm-disable \
                --config-file "$EWMH_LIB_DIR/openbox/rc.xml" >"$home/$wm.log" 2>&1 &
            ;;
        icewm)
            # Only the plain window manager: no session, background or tray
            # programs of its own.
            mkdir -p "$home/.icewm"
            cp "$EWMH_LIB_DIR/icewm/preferences" "$home/.icewm/"
            env "${env[@]}" ICEWM_PRIVCFG="$home/.icewm" setsid icewm >"$home/$wm.log" 2>&1 &
            ;;
        *)
            echo "demo: no such window manager: $wm" >&2
            return 1
            ;;
    esac
    WM_PID=$!
    if ! wait_for 30 ewmh_ready; then
        echo "demo: $wm did not come up; the end of its output:" >&2
        tail -n 20 "$home/$wm.log" >&2
        kill -0 "$XVFB_PID" 2>/dev/null || echo "demo: the X server $DISPLAY has gone" >&2
        return 1
    fi
}
