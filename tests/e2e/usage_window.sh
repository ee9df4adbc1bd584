#!/usr/bin/env bash
# The usage screen in a real window, as a user meets it (Windows build, under Wine on the test
# display): a 400 by 80 client area titled "drivenudge" that shows exactly the golden picture; a
# typed key or the close button ends the program with exit code 0; Shift alone does not.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
[ "${1:-}" = wine ] || e2e_skip "windows only exist in the Windows build"
e2e_init "$@"
[ -n "${DISPLAY:-}" ] || e2e_skip "no display"
[ -n "${DN_WINDOW_PROBE:-}" ] || e2e_fail "DN_WINDOW_PROBE is not set"
for tool in xdotool import compare; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is missing"
done

class=zeredclass_drivenudge
probe() { wine "$DN_WINDOW_PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# e2e_open ARG...: starts the program and waits for its window; sets GEOMETRY (x y w h title).
open_window() {
    e2e_start "$@"
    GEOMETRY=$(probe find "$class" 30) || e2e_fail "no window for arguments: $*"
}

x_window() { xdotool search --onlyvisible --name '^drivenudge$' | head -n 1; }

# wait_exit SECONDS: the program ended by then with exit code 0.
wait_exit() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$E2E_PID" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the program did not end"
        sleep 0.1
    done
    local status=0
    wait "$E2E_PID" || status=$?
    [ "$status" = 0 ] || e2e_fail "exit code $status"
}

# The window, its size and title, and its picture against the golden image.
open_window
read -r x y width height title <<<"$GEOMETRY"
[ "$width $height" = "400 80" ] || e2e_fail "client area ${width}x$height"
[ "$title" = drivenudge ] || e2e_fail "title '$title'"
shot="$E2E_WORK/shot.ppm"
match=0
for _ in $(seq 20); do # the first passes may still be on their way to the screen
    import -window root -crop "${width}x${height}+$x+$y" +repage -depth 8 "ppm:$shot"
    if [ "$(compare -metric AE "$shot" "$DN_TEST_DATA_DIR/usage_screen.ppm" null: 2>&1)" = 0 ]; then
        match=1
        break
    fi
    sleep 0.25
done
[ "$match" = 1 ] || {
    cp "$shot" "${TMPDIR:-/tmp}/drivenudge-usage-window.ppm"
    e2e_fail "the window differs from the golden image (saved ${TMPDIR:-/tmp}/drivenudge-usage-window.ppm)"
}

# Shift alone leaves it open; a letter ends it.
window=$(x_window)
[ -n "$window" ] || e2e_fail "no X window named drivenudge"
xdotool key --window "$window" shift
sleep 1.5
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Shift alone ended the program"
xdotool key --window "$window" a
wait_exit 10
echo "usage window: 400x80, titled drivenudge, golden picture; Shift stays, a letter ends it"

# Each help switch opens the same window; the close button (WM_CLOSE) ends it with 0.
for switch in /h /H '/?' -h -H '-?'; do
    open_window "$switch"
    probe close "$class" || e2e_fail "could not close the window"
    wait_exit 10
done
echo "usage window: every help switch opens it; closing it ends the program with exit code 0"

# ZERED=GDI picks the GDI driver: the same window. ZERED=null: no window, and the program waits.
ZERED=GDI open_window
probe close "$class"
wait_exit 10
ZERED=null e2e_start
if probe find "$class" 3 >/dev/null; then e2e_fail "ZERED=null opened a window"; fi
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "ZERED=null: the program did not wait"
echo "usage window: ZERED=GDI opens the window, ZERED=null opens none and waits"
