#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine with the given arguments (none: the usage
# screen). The executable itself is build/windows/app/drivenudge.exe: copy it to a Windows
# machine to use it for real.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target drivenudge -j "$(nproc)"
export WINEPREFIX="${WINEPREFIX:-$PWD/build/windows/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
exec wine build/windows/app/drivenudge.exe "$@"
