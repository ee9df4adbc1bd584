#!/usr/bin/env bash
# The help path where no window can be shown (no display): the usage text on standard output,
# exit code 0, for no argument, an empty one and each help switch; nothing is created anywhere.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"
# No display: no window can be opened, so the text goes to standard output.
unset DISPLAY

expected='drivenudge: a keep-awake tool for your disks
(md $drivenudge.tmp / rd $drivenudge.tmp)
  usage   : drivenudge drive_letter(s)
  example : drivenudge cdefxy

hit anykey to close window'

check() {
    e2e_run_for 30 "$@"
    [ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS for arguments: $*"
    local got
    got=$(tr -d '\r' <"$E2E_WORK/out")
    [ "$got" = "$expected" ] || e2e_fail "for arguments '$*' the output was:
$got"
}

check
check ""
for switch in /h /H '/?' -h -H '-?'; do check "$switch"; done
# The switch must stand alone as the first argument; a second argument is never looked at.
check -h c
[ -z "$(find "$E2E_WORK/start" -mindepth 1)" ] || e2e_fail "files were created"
echo "usage text: printed for every help form, exit code 0"

# ZERED=null asks for a screen without a window: it opens, and the program waits for a key that
# only a window could deliver, printing nothing.
ZERED=null e2e_start
sleep 3
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "with ZERED=null the program did not wait"
[ ! -s "$E2E_WORK/out" ] || e2e_fail "with ZERED=null the program printed: $(cat "$E2E_WORK/out")"
echo "usage text: ZERED=null opens a screen and waits"
