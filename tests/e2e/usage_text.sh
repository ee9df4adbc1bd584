#!/usr/bin/env bash
# The help path where no screen can be shown: the usage text on standard output, exit code 0,
# for no argument, an empty one and each help switch; nothing is created anywhere.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"

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
