#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from the build tree, named
# drivenudge_<version>_amd64.deb, holding exactly the program, its manual page, the systemd user
# unit, the copyright file and the changelog, with dependencies worked out from the program's
# libraries; lintian finds no error and no warning; installed (apt-get where this run is root,
# otherwise unpacked with dpkg -x), the program prints its usage without a display, man renders
# the page without a complaint and systemd accepts the unit.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_package native "$@" dpkg-deb lintian man systemd-analyze
version=$E2E_VERSION
cpack -G DEB --config "$E2E_BUILD/CPackConfig.cmake" -B "$E2E_WORK/package" >"$E2E_WORK/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(cat "$E2E_WORK/cpack.log")"
deb="$E2E_WORK/package/drivenudge_${version}_amd64.deb"
[ -f "$deb" ] || e2e_fail "no $(basename "$deb"); cpack made: $(ls "$E2E_WORK/package" | tr '\n' ' ')"

# Contents: these files, nothing else (folders aside), owned by root.
expected="./usr/bin/drivenudge
./usr/lib/systemd/user/drivenudge.service
./usr/share/doc/drivenudge/README.md
./usr/share/doc/drivenudge/changelog.gz
./usr/share/doc/drivenudge/copyright
./usr/share/man/man1/drivenudge.1.gz"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sort)
[ "$files" = "$expected" ] || e2e_fail "the package holds:
$files"
! awk '{ print $2 }' <<<"$listing" | grep -qv '^root/root$' || e2e_fail "files not owned by root"
[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = \
    "Package: drivenudge Version: $version Architecture: amd64 " ] ||
    e2e_fail "control fields: $(dpkg-deb -f "$deb" Package Version Architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" =~ (^|, )libc6\ \(\>=\ [0-9.]+\) ]] && [[ "$depends" == *libx11-6* ]] ||
    e2e_fail "Depends is not worked out from the program's libraries: '$depends'"

# lintian: no error, no warning (information and pedantic notes are allowed; overrides, if any,
# are in the package with their reasons).
lintian_status=0
lintian --display-info --fail-on error,warning "$deb" >"$E2E_WORK/lintian" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$E2E_WORK/lintian" >"$E2E_WORK/lintian.tags" || true
if [ "$lintian_status" != 0 ] || grep -q '^[EW]: ' "$E2E_WORK/lintian.tags"; then
    e2e_fail "lintian (exit code $lintian_status): $(cat "$E2E_WORK/lintian.tags")"
fi
echo "debian package: $(basename "$deb"), lintian: 0 errors, 0 warnings" \
    "($(grep -c "^I: " "$E2E_WORK/lintian.tags" || true) information tags), Depends: $depends"

# Install: for real where this run may (root, with apt-get, the package not there already; it is
# removed again at the end), otherwise unpacked into the work folder.
root=""
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null &&
    ! dpkg-query -W -f='${Status}' drivenudge 2>/dev/null | grep -q 'install ok installed'; then
    trap 'dpkg --purge drivenudge >/dev/null 2>&1 || true; e2e_cleanup' EXIT
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=120 "$deb" >"$E2E_WORK/apt.log" 2>&1 ||
        e2e_fail "apt-get install failed: $(cat "$E2E_WORK/apt.log")"
    dpkg -L drivenudge | grep -qx /usr/bin/drivenudge || e2e_fail "dpkg does not list /usr/bin/drivenudge"
    how="installed with apt-get"
else
    root="$E2E_WORK/root"
    dpkg -x "$deb" "$root"
    how="unpacked with dpkg -x (not root)"
fi

# The installed program's help path, without a display.
E2E_EXE="$root/usr/bin/drivenudge"
e2e_expect_usage -h
e2e_expect_usage

# The manual page renders, and groff finds nothing to complain about.
page="$root/usr/share/man/man1/drivenudge.1.gz"
MANWIDTH=80 man --warnings -l "$page" >"$E2E_WORK/man.txt" 2>"$E2E_WORK/man.err" ||
    e2e_fail "man -l failed: $(cat "$E2E_WORK/man.err")"
[ ! -s "$E2E_WORK/man.err" ] || e2e_fail "man -l warns: $(cat "$E2E_WORK/man.err")"
for heading in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT 'EXIT STATUS' FILES EXAMPLES; do
    grep -q "^$heading\$" "$E2E_WORK/man.txt" || e2e_fail "the manual page has no $heading"
done
grep -q 'DRIVENUDGE_ROOT=~/.local/share/drivenudge drivenudge un' "$E2E_WORK/man.txt" ||
    e2e_fail "the manual page's example is missing"

# The unit runs /usr/bin/drivenudge, and systemd accepts it (with the unpacked program standing in
# for /usr/bin/drivenudge when the package is not installed).
unit="$root/usr/lib/systemd/user/drivenudge.service"
grep -q '^ExecStart=/usr/bin/drivenudge ' "$unit" || e2e_fail "the unit does not run /usr/bin/drivenudge"
export HOME="$E2E_WORK/home" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$E2E_WORK/unit"
chmod 700 "$XDG_RUNTIME_DIR"
sed "s|^ExecStart=/usr/bin/drivenudge |ExecStart=$E2E_EXE |" "$unit" >"$E2E_WORK/unit/drivenudge.service"
# The unit's Documentation= is the manual page, which systemd asks man for.
status=0
(cd "$E2E_WORK/unit" && MANPATH="$root/usr/share/man:" systemd-analyze --user verify drivenudge.service) \
    >"$E2E_WORK/verify" 2>&1 || status=$?
[ "$status" = 0 ] && [ ! -s "$E2E_WORK/verify" ] ||
    e2e_fail "systemd-analyze verify (exit code $status): $(cat "$E2E_WORK/verify")"

# The copyright file is Debian's machine-readable format, for the program and the fonts, and says
# where the source is.
copyright="$root/usr/share/doc/drivenudge/copyright"
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    e2e_fail "the copyright file is not in the machine-readable format"
grep -q "^Source: drivenudge-$version-source.tar.gz" "$copyright" ||
    e2e_fail "the copyright file does not name the source archive"
[ "$(grep -c '^License: GPL-2.0+$' "$copyright")" = 2 ] && [ "$(grep -c '^License: GPL-2$' "$copyright")" = 2 ] ||
    e2e_fail "the copyright file lacks the program's or the fonts' licence"
! grep -q '@' "$copyright" || e2e_fail "the copyright file has an unfilled placeholder"
zcat "$root/usr/share/doc/drivenudge/changelog.gz" | head -n 1 | grep -q "^drivenudge ($version) " ||
    e2e_fail "the changelog's newest entry is not version $version"
echo "debian package: $how; usage printed, manual page rendered, unit verified"
