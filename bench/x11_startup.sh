#!/usr/bin/env bash
# Start-up time of the Linux build's usage window on a private Xvfb, beside bench/x11/minimal_window
# (an Xlib program that maps a 400 by 80 window and draws one line with XDrawString); and what the
# open window costs while it waits: processor time and wake-ups per second, its own and the X
# server's.
#   bench/x11_startup.sh [ROUNDS] [BUILD]        (defaults: 9, build/native; DEPTH=16 for x16)
# Start-up runs from just before the program is started until `xdotool search --onlyvisible`
# finds its window mapped (polled back to back, the same cost for both contenders); for drivenudge
# also until a screenshot of the window equals the golden picture. The contenders alternate.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
build=${2:-build/native}
depth=${DEPTH:-24}
program=${PROGRAM:-$build/app/drivenudge}
minimal=$build/bench/x11/minimal_window
golden=tests/data/usage_screen.ppm
for f in "$program" "$minimal"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done
. tests/e2e/lib.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/drivenudge-bench.XXXXXX")
XVFB_PID=""
cleanup() {
    [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
    [ -z "$XVFB_PID" ] || wait "$XVFB_PID" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
e2e_xvfb "1024x768x$depth"

now_us() { echo "${EPOCHREALTIME/./}"; }
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
found() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# run_one PROGRAM TITLE GOLDEN(0/1): prints "visible_ms shown_ms" and ends the program.
run_one() {
    local start window="" visible shown geometry
    start=$(now_us)
    "$1" >/dev/null 2>&1 &
    local pid=$!
    until window=$(found "$2") && [ -n "$window" ]; do :; done
    visible=$((($(now_us) - start) / 1000))
    shown=$visible
    if [ "$3" = 1 ]; then
        until [ "$(import -window "$window" -depth 8 ppm:- 2>/dev/null |
            compare -metric AE - "$golden" null: 2>&1)" = 0 ]; do :; done
        shown=$((($(now_us) - start) / 1000))
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$visible $shown"
}

: >"$work/ours"
: >"$work/minimal"
run_one "$program" drivenudge 1 >/dev/null # first runs load the binaries and fonts into the cache
run_one "$minimal" minimal 0 >/dev/null
for _ in $(seq "$rounds"); do
    run_one "$program" drivenudge 1 >>"$work/ours"
    run_one "$minimal" minimal 0 >>"$work/minimal"
done
ours_visible=$(cut -d' ' -f1 "$work/ours" | median)
ours_shown=$(cut -d' ' -f2 "$work/ours" | median)
minimal_visible=$(cut -d' ' -f1 "$work/minimal" | median)
echo "Xvfb 1024x768x$depth, $rounds rounds, medians (all samples, ms: drivenudge" \
    "$(cut -d' ' -f1 "$work/ours" | sort -n | tr '\n' ' ')| minimal" \
    "$(cut -d' ' -f1 "$work/minimal" | sort -n | tr '\n' ' '))"
echo "start to window visible: drivenudge $ours_visible ms, minimal $minimal_visible ms, ratio" \
    "$(awk -v a="$ours_visible" -v b="$minimal_visible" 'BEGIN {printf "%.2f", a / b}')"
echo "start to the golden picture on screen: drivenudge $ours_shown ms"

# The waiting window. Processor time from /proc: utime + stime in clock ticks (10 ms each), and
# each thread's run time in nanoseconds from schedstat, which resolves the small figures; wake-ups
# are the voluntary context switches of all threads (each sleep or wait for the X server counts).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
run_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {print s}'; }
wakes() { cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }
idle() { # PROGRAM TITLE SECONDS
    "$1" >/dev/null 2>&1 &
    local pid=$! seconds=$3
    until [ -n "$(found "$2")" ]; do sleep 0.05; done
    sleep 2
    local t0 n0 w0 x0 xn0 t1 n1 w1 x1 xn1
    t0=$(ticks "$pid") n0=$(run_ns "$pid") w0=$(wakes "$pid") x0=$(ticks "$XVFB_PID")
    xn0=$(run_ns "$XVFB_PID")
    sleep "$seconds"
    t1=$(ticks "$pid") n1=$(run_ns "$pid") w1=$(wakes "$pid") x1=$(ticks "$XVFB_PID")
    xn1=$(run_ns "$XVFB_PID")
    echo "$(basename "$1") idle over $seconds s:" \
        "$(awk -v t=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
            'BEGIN {printf "%.1f", t * 1000 / hz / s}') ms/s by /proc stat," \
        "$(awk -v n=$((n1 - n0)) -v s="$seconds" 'BEGIN {printf "%.3f", n / 1e6 / s}') ms/s by schedstat;" \
        "$(((w1 - w0) / seconds)) wake-ups/s; Xvfb" \
        "$(awk -v n=$((xn1 - xn0)) -v s="$seconds" 'BEGIN {printf "%.3f", n / 1e6 / s}') ms/s"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
idle "$program" drivenudge 10
idle "$minimal" minimal 10
