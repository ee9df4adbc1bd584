#!/usr/bin/env bash
# Runs the driver timing program under Wine with the X server's and the prefix's wineserver's
# process ids, so that their processor time is counted too. Meant to run inside the Wine session:
#   cmake/wine-session.sh "$PWD/build/windows/wineprefix" bench/driver_cost.sh [OPTIONS]
# OPTIONS go to driver_cost (--rounds, --samples, --idle-seconds). With NOCSMT=1, wined3d's
# command-stream thread is switched off in the prefix for the run and switched on again after it.
set -euo pipefail
exe=${DRIVER_COST:-$(dirname "$0")/../build/windows/bench/win32/driver_cost.exe}
[ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] || { echo "run inside cmake/wine-session.sh" >&2; exit 2; }

pids=()
xvfb=$(pgrep -f "^Xvfb $DISPLAY( |$)" | head -n 1 || true)
[ -z "$xvfb" ] || pids+=("$xvfb")
for pid in $(pgrep wineserver || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        pids+=("$pid")
    fi
done
echo "counted besides the program: ${pids[*]:-nothing} (X server, wineserver)"

key='HKCU\Software\Wine\Direct3D'
if [ -n "${NOCSMT:-}" ]; then
    wine reg add "$key" /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1
    trap 'wine reg delete "$key" /v csmt /f >/dev/null 2>&1' EXIT
fi
wine "$exe" "$@" "${pids[@]}" 2>/dev/null | tr -d '\r'
