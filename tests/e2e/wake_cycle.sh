#!/usr/bin/env bash
# The wake cycle as a user runs it: two drives get the marker folder made and removed in turn, one
# share of time apart; a drive named only by a second argument is left alone; the process keeps
# going until it is killed, nothing else is touched and no window appears. The Linux build is
# given a relative drive root, which must keep naming the same folder as the cycle moves around.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$@"

e2e_drive q
e2e_drive r
e2e_drive s "$E2E_WORK/not-there" # a drive that is not ready
e2e_drive t                        # named by the second argument only
command -v inotifywait >/dev/null || e2e_fail "inotifywait (inotify-tools) is missing"

inotifywait -m -q -e create,delete --timefmt %s --format '%w %e %f %T' "$E2E_WORK/roots/q" \
    "$E2E_WORK/roots/r" "$E2E_WORK/roots/t" "$E2E_WORK/start" >"$E2E_WORK/events" 2>/dev/null &
E2E_PIDS+=("$!")
sleep 0.5

# 170 drive characters give a share of 1000 ms: each of q and r is visited every 2 s.
# The program starts in $E2E_WORK/start.
[ "$E2E_MODE" = native ] && export DRIVENUDGE_ROOT=../roots
letters="s$(printf 'qr%.0s' $(seq 1 84))q"
e2e_start "$letters" t

# Three visits to each drive: a create and a delete each.
enough_visits() { [ "$(grep -c 'drivenudge.tmp' "$E2E_WORK/events")" -ge 12 ]; }
e2e_wait_until 60 enough_visits || {
    cat "$E2E_WORK/events" >&2
    e2e_fail "the markers did not come and go in both drives"
}
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended by itself"

timed_events=$(grep 'drivenudge.tmp' "$E2E_WORK/events" | head -n 12)
events=$(sed 's/ [0-9]*$//' <<<"$timed_events")
# Each visit makes and removes the marker before the next one starts, q and r alternating.
expected=$(for d in q r q r q r; do
    printf '%s CREATE,ISDIR $drivenudge.tmp\n%s DELETE,ISDIR $drivenudge.tmp\n' \
        "$E2E_WORK/roots/$d/" "$E2E_WORK/roots/$d/"
done)
first_drive=$(head -n 1 <<<"$events" | sed 's|.*/roots/\(.\)/.*|\1|')
if [ "$first_drive" = r ]; then
    expected=$(for d in r q r q r q; do
        printf '%s CREATE,ISDIR $drivenudge.tmp\n%s DELETE,ISDIR $drivenudge.tmp\n' \
            "$E2E_WORK/roots/$d/" "$E2E_WORK/roots/$d/"
    done)
fi
[ "$events" = "$expected" ] || {
    printf 'got:\n%s\nexpected:\n%s\n' "$events" "$expected" >&2
    e2e_fail "visits out of order"
}

# Six visits a second apart span five seconds (the clock counts whole seconds).
first=$(head -n 1 <<<"$timed_events" | awk '{print $NF}')
last=$(tail -n 1 <<<"$timed_events" | awk '{print $NF}')
[ $((last - first)) -ge 4 ] || e2e_fail "six visits took $((last - first)) s: the shares were not slept"

# Nothing appeared in the start folder or in drive t, nothing is left in the drives.
grep -v 'drivenudge.tmp' "$E2E_WORK/events" && e2e_fail "other files were touched"
[ -z "$(find "$E2E_WORK/roots/q" "$E2E_WORK/roots/r" "$E2E_WORK/roots/t" "$E2E_WORK/start" \
    -mindepth 1)" ] ||
    e2e_fail "files left behind"
[ "$(e2e_visible_windows)" = 0 ] || e2e_fail "a window appeared"
[ ! -s "$E2E_WORK/out" ] || e2e_fail "the wake cycle printed: $(cat "$E2E_WORK/out")"
echo "wake cycle: markers came and went in turn, a share apart; the second argument was ignored;" \
    "still running; no window"
