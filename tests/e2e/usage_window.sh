#!/usr/bin/env bash
# The usage screen in a real window, as a user meets it (Windows build, under Wine on the test
# display): a 400 by 80 client area titled "drivenudge" that shows exactly the golden picture; a
# typed key, a key without a character (F1, Escape, Return) or the close button ends the program
# with exit code 0; Shift, Ctrl or Alt alone do not.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_windows "${1:-}" "${2:-}" xdotool import compare

class=zeredclass_drivenudge
open_window() { e2e_open_window "$class" "$@"; }
x_window() { xdotool search --onlyvisible --name '^drivenudge$' | head -n 1; }

# The window, its size and title, and its picture against the golden image.
open_window
read -r x y width height title <<<"$GEOMETRY"
[ "$width $height" = "400 80" ] || e2e_fail "client area ${width}x$height"
[ "$title" = drivenudge ] || e2e_fail "title '$title'"
e2e_expect_golden "$DN_TEST_DATA_DIR/usage_screen.ppm" drivenudge-usage-window

# A modifier alone leaves it open; a letter ends it.
window=$(x_window)
[ -n "$window" ] || e2e_fail "no X window named drivenudge"
for modifier in shift ctrl alt; do
    xdotool key --window "$window" "$modifier"
    sleep 1.5
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$modifier alone ended the program"
done
xdotool key --window "$window" a
e2e_wait_exit 10
echo "usage window: 400x80, titled drivenudge, golden picture; Shift, Ctrl, Alt stay, a letter ends it"

# Keys that type no character end it too.
for key in F1 Escape Return; do
    open_window
    xdotool key --window "$(x_window)" "$key"
    e2e_wait_exit 10
done
echo "usage window: F1, Escape and Return end it with exit code 0"

# Each help switch opens the same window; the close button (WM_CLOSE) ends it with 0.
for switch in /h /H '/?' -h -H '-?'; do
    open_window "$switch"
    e2e_probe close "$class" || e2e_fail "could not close the window"
    e2e_wait_exit 10
done
echo "usage window: every help switch opens it; closing it ends the program with exit code 0"

# ZERED=GDI picks the GDI driver: the same window. ZERED=null: no window, and the program waits.
ZERED=GDI open_window
e2e_probe close "$class"
e2e_wait_exit 10
ZERED=null e2e_start
if e2e_probe find "$class" 3 >/dev/null; then e2e_fail "ZERED=null opened a window"; fi
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "ZERED=null: the program did not wait"
echo "usage window: ZERED=GDI opens the window, ZERED=null opens none and waits"
