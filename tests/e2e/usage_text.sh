#!/usr/bin/env bash
# The help path where no window can be shown (no display): the usage text on standard output,
# exit code 0, for no argument, an empty one and each help switch; nothing is created anywhere.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"
# No display: no window can be opened, so the text goes to standard output.
unset DISPLAY

e2e_expect_usage
e2e_expect_usage ""
for switch in /h /H '/?' -h -H '-?'; do e2e_expect_usage "$switch"; done
# The switch must stand alone as the first argument; a second argument is never looked at.
e2e_expect_usage -h c
[ -z "$(find "$E2E_WORK/start" -mindepth 1)" ] || e2e_fail "files were created"
echo "usage text: printed for every help form, exit code 0"

# ZERED=null asks for a screen without a window: it opens, and the program waits for a key that
# only a window could deliver, printing nothing.
ZERED=null e2e_start
sleep 3
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "with ZERED=null the program did not wait"
[ ! -s "$E2E_WORK/out" ] || e2e_fail "with ZERED=null the program printed: $(cat "$E2E_WORK/out")"
echo "usage text: ZERED=null opens a screen and waits"
