#!/usr/bin/env bash
# Between visits the program holds no drive, and it really sleeps its share. Started on one drive
# it visits that drive at once (the sleep comes after the visit), then sleeps its 170 s: no second
# visit follows within seconds, and meanwhile its current directory is on no drive (the Linux
# build: "/", as /proc shows; under Wine the process's Unix directory tells nothing about its
# Windows one, which the unit tests check). The Linux build is given a relative drive root.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"

e2e_drive q
command -v inotifywait >/dev/null || e2e_fail "inotifywait (inotify-tools) is missing"
inotifywait -m -q -e create,delete --format '%e %f' "$E2E_WORK/roots/q" \
    >"$E2E_WORK/events" 2>/dev/null &
E2E_PIDS+=("$!")
sleep 0.5

# The program starts in $E2E_WORK/start.
[ "$E2E_MODE" = native ] && export DRIVENUDGE_ROOT=../roots
e2e_start q

visits() { grep -c 'DELETE,ISDIR $drivenudge.tmp' "$E2E_WORK/events" || true; }
visited() { [ "$(visits)" -ge 1 ]; }
e2e_wait_until 30 visited || e2e_fail "no visit at the start: $(cat "$E2E_WORK/events")"
if [ "$E2E_MODE" = native ]; then
    directory=$(readlink "/proc/$E2E_PID/cwd") || e2e_fail "the program is gone"
    [ "$directory" = / ] || e2e_fail "sleeping in $directory, which keeps that drive in use"
fi
sleep 3
[ "$(visits)" = 1 ] || e2e_fail "$(visits) visits in 3 s: the 170 s share was not slept"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended by itself"
echo "drive release: one visit at once, then asleep$([ "$E2E_MODE" = native ] && echo ' in /')"
