#!/usr/bin/env bash
# What the wake cycle costs a Linux machine: resident memory and wake-ups per minute (voluntary
# context switches) of the native build cycling over three mapped drives with no terminal.
#   bench/wake_cost.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build/native}
seconds=${2:-180}
root=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$root"' EXIT
mkdir -p "$root/c" "$root/d" "$root/e"
DRIVENUDGE_ROOT=$root setsid "$build/app/drivenudge" cde </dev/null >/dev/null 2>&1 &
pid=$!
sleep 1
switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status"; }
before=$(switches)
sleep "$seconds"
after=$(switches)
rss=$(awk '/^VmRSS/ {print $2 " " $3}' "/proc/$pid/status")
echo "resident memory: $rss"
echo "voluntary context switches in $seconds s: $((after - before))" \
    "($(awk -v n=$((after - before)) -v s="$seconds" 'BEGIN {printf "%.2f", n * 60 / s}') per minute)"
