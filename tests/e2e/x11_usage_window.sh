#!/usr/bin/env bash
# The usage screen of the Linux build in an X window, on private Xvfb servers of 24 and 16 bits
# and without a window manager: a 400 by 80 window titled and classed "drivenudge" that shows
# exactly the golden picture; a letter, F1, Escape or Return ends the program with exit code 0,
# Shift, Ctrl or Alt alone do not; a window manager's close (WM_DELETE_WINDOW) ends it with 0, and
# so does the end of the X session (the server killed under the open window).
# ZERED=null opens no window and waits; the wake cycle opens none either.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
[ "${1:-}" = native ] || e2e_skip "the X11 window belongs to the Linux build"
e2e_init "$@"
[ -n "${DN_X11_PROBE:-}" ] || e2e_skip "built without X11"
for tool in Xvfb xdotool import compare; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is missing"
done
golden="$DN_TEST_DATA_DIR/usage_screen.ppm"

named_window() { { xdotool search --onlyvisible --name '^drivenudge$' 2>/dev/null || true; } | head -n 1; }
window_or_end() { [ -n "$(named_window)" ] || ! kill -0 "$E2E_PID" 2>/dev/null; }
# open_window ARG...: starts the program and waits for its window; sets WINDOW.
open_window() {
    e2e_start "$@"
    e2e_wait_until 30 window_or_end || true
    WINDOW=$(named_window)
    if [ -z "$WINDOW" ]; then
        kill -0 "$E2E_PID" 2>/dev/null ||
            e2e_fail "no window for arguments '$*'; the program ended, printing: $(cat "$E2E_WORK/out")"
        e2e_fail "no window for arguments '$*'"
    fi
}
# press KEY: sent to the window as key events. No window manager runs, so xdotool complains that
# nothing has the focus; and a key that ends the program leaves its release without a window.
press() { xdotool key --window "$WINDOW" "$1" 2>/dev/null || true; }
close_window() { "$DN_X11_PROBE" drivenudge 10 || e2e_fail "close_window: exit code $?"; }
# no_window_while_running ARG...: for 3 s the program runs and shows no window at all.
no_window_while_running() {
    e2e_start "$@"
    sleep 3
    [ "$(e2e_visible_windows)" = 0 ] || e2e_fail "a window appeared for arguments '$*'"
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended for arguments '$*'"
    kill "$E2E_PID"
    wait "$E2E_PID" 2>/dev/null || true
}

for depth in 24 16; do
    e2e_xvfb "1024x768x$depth" || e2e_fail "no Xvfb at depth $depth"
    screen=$depth-bit

    # The window: name, class, size and the picture against the golden image.
    open_window
    [ "$(xdotool search --classname '^drivenudge$')" = "$WINDOW" ] || e2e_fail "$screen: res_name"
    [ "$(xdotool search --class '^zeredclass_drivenudge$')" = "$WINDOW" ] ||
        e2e_fail "$screen: res_class"
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    [ "${WIDTH}x$HEIGHT" = 400x80 ] || e2e_fail "$screen: window ${WIDTH}x$HEIGHT"
    GEOMETRY="$X $Y $WIDTH $HEIGHT"
    e2e_expect_golden "$golden" "drivenudge-x11-usage-$depth"

    # A modifier alone leaves it open; a letter ends it.
    for modifier in shift ctrl alt; do
        press "$modifier"
        sleep 1
        kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$screen: $modifier alone ended the program"
    done
    press a
    e2e_wait_exit 10

    # Keys that type no character end it too.
    for key in F1 Escape Return; do
        open_window
        press "$key"
        e2e_wait_exit 10
    done

    # Keys typed on the keyboard itself (XTEST) rather than sent to the window: the window takes
    # the focus when it appears (no window manager here hands it over), wherever the pointer is.
    open_window
    xdotool mousemove 1000 700
    xdotool key shift
    sleep 1
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$screen: Shift from the keyboard ended the program"
    xdotool key b 2>/dev/null || true
    e2e_wait_exit 10

    # A window manager's close button.
    open_window
    close_window
    e2e_wait_exit 10
    echo "$screen display: 400x80 window, golden picture; Shift, Ctrl, Alt stay;" \
        "a letter (sent or typed), F1, Escape, Return and WM_DELETE_WINDOW end it with 0"

    kill "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null || true
done

# The rest on a 24-bit display: every help switch opens the same window, ZERED=x11 picks this
# driver, ZERED=null shows nothing and waits, and the wake cycle never opens a window.
e2e_xvfb 1024x768x24 || e2e_fail "no Xvfb"
for switch in /h /H '/?' -h -H '-?' ""; do
    open_window "$switch"
    close_window
    e2e_wait_exit 10
done
ZERED=x11 open_window
close_window
e2e_wait_exit 10
ZERED=null no_window_while_running
e2e_drive q
no_window_while_running q
echo "help switches and ZERED=x11 open the window; ZERED=null and the wake cycle open none"

# The session ends under the open window: the program ends as on a close, not by an abort.
open_window
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null || true
e2e_wait_exit 10
echo "the X server ending under the window ends the program with 0"
