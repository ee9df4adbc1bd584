#!/usr/bin/env bash
# Runs a command on a private X display of its own and stops the display afterwards.
#   xvfb-run.sh DEPTH COMMAND...
# DEPTH is the display's colour depth (8, 16, 24 or 30). A free display number is taken. DN_XVFB_OPTIONS
# adds options of the server's own (e.g. "-extension MIT-SHM" for a server without shared memory).
# DN_XVFB_WM names a window manager to run on the display (openbox); the command starts once it
# has taken the screen.
set -euo pipefail
depth=$1
shift
command -v Xvfb >/dev/null || { echo "Xvfb is missing" >&2; exit 1; }

xvfb_pid=""
wm_pid=""
cleanup() {
    [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
    [ -z "$wm_pid" ] || wait "$wm_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Several of these may start at once (ctest -j): the server that fails to take a number says so by
# ending, and the next number is tried.
display=${DN_XVFB_FIRST_DISPLAY:-120}
for _ in $(seq 40); do
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
        display=$((display + 1))
    done
    # shellcheck disable=SC2086 # the options are words
    Xvfb ":$display" -screen 0 "1024x768x$depth" -nolisten tcp ${DN_XVFB_OPTIONS:-} >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ]; then
        export DISPLAY=":$display"
        if [ -n "${DN_XVFB_WM:-}" ]; then
            command -v "$DN_XVFB_WM" >/dev/null || { echo "$DN_XVFB_WM is missing" >&2; exit 1; }
            "$DN_XVFB_WM" >/dev/null 2>&1 &
            wm_pid=$!
            # A window manager of the desktop conventions names its check window on the root.
            # One that ends before it is up (a busy server refused it) is started again.
            for _ in $(seq 400); do
                xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
                if ! kill -0 "$wm_pid" 2>/dev/null; then
                    "$DN_XVFB_WM" >/dev/null 2>&1 &
                    wm_pid=$!
                fi
                sleep 0.05
            done
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
                { echo "$DN_XVFB_WM did not start" >&2; exit 1; }
        fi
        status=0
        "$@" || status=$?
        exit $status
    fi
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
    display=$((display + 1))
done
echo "no display could be started" >&2
exit 1
