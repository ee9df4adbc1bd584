#!/usr/bin/env bash
# The systemd user unit the README installs (made in the build tree from
# packaging/drivenudge.service.in) as systemd itself reads it: `systemd-analyze --user verify`
# finds no unknown key, no value it cannot parse and an ExecStart it can run (the unit's installed
# path, ~/.local/bin/drivenudge, is pointed at the program under test). The Debian package's unit,
# from the same template, is checked by debian_package.sh. systemd reports most of
# these as warnings and still exits 0, so any word from it fails the test.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
[ "${1:-}" = native ] || e2e_skip "the systemd unit is for the Linux build"
command -v systemd-analyze >/dev/null || e2e_skip "systemd-analyze is missing"
e2e_init "$@"
unit=$(cd "$(dirname "$E2E_EXE")/.." && pwd)/packaging/drivenudge.service
[ -f "$unit" ] || e2e_fail "no unit at $unit"

# A user manager needs a private runtime folder; %h becomes a home folder of the work area.
export HOME="$E2E_WORK/home" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
mkdir "$E2E_WORK/unit"
sed "s|^ExecStart=%h/.local/bin/drivenudge |ExecStart=$E2E_EXE |" "$unit" \
    >"$E2E_WORK/unit/drivenudge.service"
grep -q "^ExecStart=$E2E_EXE " "$E2E_WORK/unit/drivenudge.service" ||
    e2e_fail "the unit does not run %h/.local/bin/drivenudge"
# Its Documentation= is the manual page, which systemd asks man for: the one of the build tree.
mkdir -p "$E2E_WORK/man/man1"
cp "$(dirname "$unit")/drivenudge.1.gz" "$E2E_WORK/man/man1/"
export MANPATH="$E2E_WORK/man:"
status=0
(cd "$E2E_WORK/unit" && systemd-analyze --user verify drivenudge.service) \
    >"$E2E_WORK/verify" 2>&1 || status=$?
[ "$status" = 0 ] && [ ! -s "$E2E_WORK/verify" ] ||
    e2e_fail "systemd-analyze verify (exit code $status): $(cat "$E2E_WORK/verify")"

# The same check must fail for a unit whose command cannot run, or it proves nothing here.
sed -i "s|^ExecStart=$E2E_EXE |ExecStart=$E2E_WORK/missing |" "$E2E_WORK/unit/drivenudge.service"
if (cd "$E2E_WORK/unit" && systemd-analyze --user verify drivenudge.service) >/dev/null 2>&1; then
    e2e_fail "systemd-analyze accepted a unit whose program is missing"
fi
echo "systemd unit: verified with the program under test as its ExecStart"
