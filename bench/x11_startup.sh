#!/usr/bin/env bash
# Start-up time of the Linux build's usage window on a private Xvfb, beside bench/x11/minimal_window
# (an Xlib program that maps a 400 by 80 window and puts the same picture into it with XPutImage
# right after the map); the driver's
# pass period; and what the open window costs while it waits: processor time and wake-ups per
# second, its own and the X server's.
#   bench/x11_startup.sh [ROUNDS] [BUILD]    (defaults: 9, build/native; DEPTH=16 for a 16-bit
#                                             server, PROGRAM=path for another drivenudge)
# Start-up is timed by bench/x11/time_to_map: from just before the fork until the window's
# MapNotify, and until the window's contents equal the golden picture (the usage window's, which
# the minimal program is given to draw). The contenders alternate, after one warm-up run of each.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
build=${2:-build/native}
depth=${DEPTH:-24}
program=${PROGRAM:-$build/app/drivenudge}
minimal=$build/bench/x11/minimal_window
golden=tests/data/usage_screen.ppm
for f in "$program" "$minimal" "$build/bench/x11/time_to_map" "$build/bench/x11/pass_period"; do
    [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }
done
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

timer=$build/bench/x11/time_to_map
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
found() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# run_one TITLE PROGRAM [ARGUMENT]: prints "mapped_ms shown_ms" and ends the program.
run_one() {
    local result pid
    result=$("$timer" --picture "$golden" "$1" "$2" ${3:+"$3"})
    pid=${result##* }
    kill "$pid"
    # The timer has ended, so the program is reaped by init: wait until it is gone or a zombie.
    for _ in $(seq 500); do
        [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo gone)" != gone ] || break
        [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" != Z ] || break
        sleep 0.01
    done
    echo "${result% *}"
}

: >"$work/ours"
: >"$work/minimal"
run_one drivenudge "$program" >/dev/null # the first runs bring the files into the cache
run_one minimal "$minimal" "$golden" >/dev/null
for _ in $(seq "$rounds"); do
    run_one drivenudge "$program" >>"$work/ours"
    run_one minimal "$minimal" "$golden" >>"$work/minimal"
done
# figure COLUMN NAME: "median (quartiles q1-q3)" of one column of a contender's runs.
figure() {
    cut -d' ' -f"$1" "$work/$2" | sort -n | awk '{v[NR] = $1}
        END {printf "%.2f ms (quartiles %.2f-%.2f)", v[int((NR + 1) / 2)],
             v[int((NR + 3) / 4)], v[int((3 * NR + 3) / 4)]}'
}
ratio() { # COLUMN
    awk -v a="$(cut -d' ' -f"$1" "$work/ours" | median)" \
        -v b="$(cut -d' ' -f"$1" "$work/minimal" | median)" 'BEGIN {printf "%.2f", a / b}'
}
echo "Xvfb 1024x768x$depth, $rounds rounds each, alternating; start to the picture, ms:"
echo "  drivenudge $(cut -d' ' -f2 "$work/ours" | sort -n | tr '\n' ' ')"
echo "  minimal    $(cut -d' ' -f2 "$work/minimal" | sort -n | tr '\n' ' ')"
echo "start to window mapped: drivenudge $(figure 1 ours), minimal $(figure 1 minimal), ratio $(ratio 1)"
echo "start to the picture:   drivenudge $(figure 2 ours), minimal $(figure 2 minimal), ratio $(ratio 2)"

# The pass period, timed inside a process that opens the same screen on the X11 driver.
"$build/bench/x11/pass_period" 300 5

# The waiting window. Processor time from /proc: utime + stime of the whole process in clock
# ticks (10 ms each), and each thread's run time in nanoseconds from schedstat, which resolves the
# small figures; wake-ups are each thread's voluntary context switches (every sleep or wait ended).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
threads() { # PID: "tid run_ns voluntary_switches" per thread
    local task
    for task in /proc/"$1"/task/*; do
        echo "${task##*/} $(cut -d' ' -f1 "$task/schedstat")" \
            "$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")"
    done
}
idle() { # PROGRAM TITLE SECONDS
    "$1" >/dev/null 2>&1 &
    local pid=$! seconds=$3 hz
    hz=$(getconf CLK_TCK)
    until [ -n "$(found "$2")" ]; do sleep 0.05; done
    sleep 2
    local t0 t1 x0 x1
    t0=$(ticks "$pid") x0=$(threads "$XVFB_PID" | awk '{s += $2} END {print s}')
    threads "$pid" >"$work/before"
    sleep "$seconds"
    t1=$(ticks "$pid") x1=$(threads "$XVFB_PID" | awk '{s += $2} END {print s}')
    threads "$pid" >"$work/after"
    echo "$(basename "$1") idle over $seconds s: $(awk -v t=$((t1 - t0)) -v hz="$hz" -v s="$seconds" \
        'BEGIN {printf "%.1f", t * 1000 / hz / s}') ms/s by /proc stat; Xvfb $(awk -v n=$((x1 - x0)) \
        -v s="$seconds" 'BEGIN {printf "%.3f", n / 1e6 / s}') ms/s by schedstat"
    join "$work/before" "$work/after" | awk -v s="$seconds" -v pid="$pid" '
        {n += $4 - $2; w += $5 - $3
         printf "  thread %s%s: %.3f ms/s, %.1f wake-ups/s\n", $1, $1 == pid ? " (main)" : "",
             ($4 - $2) / 1e6 / s, ($5 - $3) / s}
        END {printf "  all threads: %.3f ms/s, %.1f wake-ups/s\n", n / 1e6 / s, w / s}'
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
idle "$program" drivenudge 10
idle "$minimal" minimal 10
