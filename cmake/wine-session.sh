#!/usr/bin/env bash
# Runs a command with a private X display and a ready Wine prefix, and stops both afterwards.
#   wine-session.sh PREFIX COMMAND...
# The prefix is created on first use (about 10 s). One wineserver stays up for the whole
# command, so each Windows program start costs a second, not ten.
set -euo pipefail
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A free display number: one whose lock file and socket do not exist.
display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done

# Wine's background services (services.exe, winedevice.exe, ...) live as long as the wineserver
# and keep whatever output they inherited open. Start them here, on /dev/null, so that they do not
# hold a test's output pipe open (a test runner would wait on it for ever).
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
else
    wineboot </dev/null >/dev/null 2>&1
fi
"$@"
