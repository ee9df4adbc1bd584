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

# A free display number, chosen by Xvfb itself (-displayfd), which writes it once it takes
# connections: two sessions started at the same moment cannot end up on one display, as they could
# when the script picked a number whose lock file did not exist yet.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
display=$(tr -d '[:space:]' <"$display_file")
rm -f "$display_file"
if [ -z "$display" ]; then
    echo "no X display could be started" >&2
    exit 1
fi
export DISPLAY=":$display"

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
