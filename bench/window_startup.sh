#!/usr/bin/env bash
# Start-up time of the usage window under Wine on Xvfb, beside a minimal Win32 program that opens
# a window of the same size and paints one line of text; and what the open window costs while it
# waits: presentation passes per second and CPU time per second.
#   cmake/wine-session.sh "$PWD/build/windows/wineprefix" bench/window_startup.sh [ROUNDS]
# Times are from starting `wine PROGRAM` until the window probe (itself a Wine program, the same
# cost for both) sees the window visible; for drivenudge also until the screen shows the golden
# picture.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
build=build/windows
probe="$build/tests/window_probe.exe"
golden=tests/data/usage_screen.ppm
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

run_one() { # PROGRAM CLASS GOLDEN(0/1): prints "visible shown"
    local start pid geometry visible shown x y w h
    start=$(now)
    wine "$1" >/dev/null 2>&1 &
    pid=$!
    geometry=$(wine "$probe" find "$2" 30 | tr -d '\r')
    visible=$(elapsed "$start" "$(now)")
    shown=$visible
    if [ "$3" = 1 ]; then
        read -r x y w h _ <<<"$geometry"
        until [ "$(import -window root -crop "${w}x${h}+$x+$y" +repage -depth 8 ppm:- |
            compare -metric AE - "$golden" null: 2>&1)" = 0 ]; do sleep 0.02; done
        shown=$(elapsed "$start" "$(now)")
    fi
    wine "$probe" close "$2" >/dev/null
    wait "$pid" || true
    echo "$visible $shown"
}

: >/tmp/startup.ours
: >/tmp/startup.gdi
: >/tmp/startup.minimal
for _ in $(seq "$rounds"); do # interleaved: ours (DirectDraw), ours on GDI, minimal, ...
    run_one "$build/app/drivenudge.exe" zeredclass_drivenudge 1 >>/tmp/startup.ours
    ZERED=GDI run_one "$build/app/drivenudge.exe" zeredclass_drivenudge 1 >>/tmp/startup.gdi
    run_one "$build/bench/win32/minimal_window.exe" minimal_window 0 >>/tmp/startup.minimal
done
ours_visible=$(cut -d' ' -f1 /tmp/startup.ours | median)
ours_shown=$(cut -d' ' -f2 /tmp/startup.ours | median)
gdi_visible=$(cut -d' ' -f1 /tmp/startup.gdi | median)
gdi_shown=$(cut -d' ' -f2 /tmp/startup.gdi | median)
minimal_visible=$(cut -d' ' -f1 /tmp/startup.minimal | median)
echo "start to window visible, median of $rounds: drivenudge ${ours_visible} s," \
    "minimal ${minimal_visible} s, ratio $(awk -v a="$ours_visible" -v b="$minimal_visible" 'BEGIN {printf "%.2f", a / b}')"
echo "the same with ZERED=GDI: ${gdi_visible} s, ratio $(awk -v a="$gdi_visible" -v b="$minimal_visible" 'BEGIN {printf "%.2f", a / b}')"
echo "start to usage text on screen (golden picture), median: ${ours_shown} s, with GDI ${gdi_shown} s"

# The waiting window: how often its threads wake (voluntary context switches: every sleep and every
# round trip to the wineserver counts) and the whole process's CPU time.
wine "$build/app/drivenudge.exe" >/dev/null 2>&1 &
pid=$!
wine "$probe" find zeredclass_drivenudge 30 >/dev/null
sleep 2
switches() { cat /proc/"$pid"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
s0=$(switches)
c0=$(cpu_ticks)
sleep 10
s1=$(switches)
c1=$(cpu_ticks)
hz=$(getconf CLK_TCK)
echo "idle window over 10 s: $(((s1 - s0) / 10)) voluntary context switches per second," \
    "CPU $(awk -v t=$((c1 - c0)) -v hz="$hz" 'BEGIN {printf "%.1f", t * 1000 / hz / 10}') ms per second"
wine "$probe" close zeredclass_drivenudge >/dev/null
wait "$pid" || true

# The pass period itself, timed inside the process, for the default driver (DirectDraw) and GDI.
wine "$build/bench/win32/pass_period.exe" 300 | tr -d '\r'
ZERED=GDI wine "$build/bench/win32/pass_period.exe" 300 | tr -d '\r'
