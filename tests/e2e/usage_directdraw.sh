#!/usr/bin/env bash
# The usage screen on the DirectDraw driver (Windows build, under Wine on the test display): the
# screen set-up takes DirectDraw first and its window shows exactly the golden picture; ZERED=GDI
# leaves DirectDraw alone; when DirectDraw or DirectInput cannot be had, the set-up falls back to
# GDI without a word and the window looks the same.
#
# Which driver presents is read from Wine's loader log: only the DirectDraw driver loads
# "dinput.dll", and a DirectDraw start that fails frees what it loaded before GDI is tried.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_windows "${1:-}" "${2:-}" import compare

class=zeredclass_drivenudge
golden=$DN_TEST_DATA_DIR/usage_screen.ppm
log=$E2E_WORK/out

# loaded DLL / unloaded DLL: the loader log of the last start names the library.
loaded() { grep -qiE "Loaded L\"[^\"]*[\\]$1\"" "$log"; }
unloaded() { grep -qiE "Unloaded module L\"[^\"]*[\\]$1\"" "$log"; }

# open_on OVERRIDES ARG...: starts the program with Wine's loader log and the DLL overrides,
# waits for its window and checks its picture.
open_on() {
    local overrides=$1
    shift
    WINEDEBUG=+loaddll WINEDLLOVERRIDES="$WINEDLLOVERRIDES${overrides:+;$overrides}" \
        e2e_open_window "$class" "$@"
    e2e_expect_golden "$golden" drivenudge-usage-directdraw
}

close_window() {
    e2e_probe close "$class" || e2e_fail "could not close the window"
    e2e_wait_exit 10
}

open_on ""
loaded ddraw.dll || e2e_fail "DirectDraw was not loaded"
loaded dinput.dll || e2e_fail "DirectInput was not loaded"
if unloaded dinput.dll; then e2e_fail "the DirectDraw start failed"; fi
close_window
unloaded dinput.dll || e2e_fail "DirectInput was not released at the end"
echo "usage on DirectDraw: the default driver, golden picture, its libraries released at the end"

ZERED=gdi open_on ""
if loaded ddraw.dll || loaded dinput.dll; then e2e_fail "ZERED=gdi still started DirectDraw"; fi
close_window
echo "usage on DirectDraw: ZERED=gdi goes straight to GDI"

# No ddraw.dll: the first step of the set-up fails.
open_on "ddraw=d"
if loaded dinput.dll; then e2e_fail "DirectInput loaded without DirectDraw"; fi
close_window
# No dinput.dll: DirectDraw is loaded and given up again (Wine keeps its ddraw.dll once loaded).
open_on "dinput=d"
loaded ddraw.dll || e2e_fail "DirectDraw was not tried"
close_window
echo "usage on DirectDraw: without ddraw.dll or dinput.dll the same window comes from GDI"
