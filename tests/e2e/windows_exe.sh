#!/usr/bin/env bash
# What drivenudge.exe tells Windows about itself, read from the built file: the header's OS and
# subsystem versions are both the oldest Windows that has every imported function (the newest of
# them in win32/imports.txt, never below 5.2, the first x64 Windows), every import is in that
# table, the embedded application manifest is well-formed and asks for what it should, and the
# program still runs (under Wine).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
[ "$1" = wine ] || e2e_skip "the header and manifest belong to the Windows build"
e2e_init "$@"
unset DISPLAY
here=$(cd "$(dirname "$0")" && pwd)
table="$here/win32/imports.txt"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || e2e_fail "$objdump is missing"
command -v python3 >/dev/null || e2e_fail "python3 is missing"

"$objdump" -p "$E2E_EXE" >"$E2E_WORK/headers" || e2e_fail "$objdump cannot read $E2E_EXE"
field() { awk -v name="$1" '$1 == name { print $2; exit }' "$E2E_WORK/headers"; }
os_version="$(field MajorOSystemVersion).$(field MinorOSystemVersion)"
subsystem_version="$(field MajorSubsystemVersion).$(field MinorSubsystemVersion)"

# Every imported function, as "DLL function", against the table.
awk '/DLL Name:/ { dll = $3; next }
     /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }' "$E2E_WORK/headers" | sort -u >"$E2E_WORK/imports"
[ "$(wc -l <"$E2E_WORK/imports")" -gt 50 ] || e2e_fail "only $(wc -l <"$E2E_WORK/imports") imports read"
grep -v '^#' "$table" | awk 'NF { print $2, $3, $1 }' | sort -u >"$E2E_WORK/known"
unknown=$(join -v 1 <(sed 's/ /|/' "$E2E_WORK/imports" | sort) \
    <(awk '{ print $1 "|" $2, $3 }' "$E2E_WORK/known" | sort -k 1,1) | tr '|' ' ')
[ -z "$unknown" ] || e2e_fail "imports missing from tests/e2e/win32/imports.txt (add each with the
first Windows that has it):
$unknown"

# The newest import decides; versions compare as numbers (6.10 after 6.2 would need sort -V).
newest=5.2
decided_by="the first x64 Windows"
while read -r dll function version; do
    if [ "$(printf '%s\n%s\n' "$newest" "$version" | sort -V | tail -n 1)" != "$newest" ]; then
        newest=$version
        decided_by="$dll $function"
    elif [ "$version" = "$newest" ] && [ "$decided_by" != "the first x64 Windows" ]; then
        decided_by="$decided_by, $dll $function"
    fi
done < <(join -o 1.1,1.2,2.2 <(sed 's/ /|/' "$E2E_WORK/imports" | sort) \
    <(awk '{ print $1 "|" $2, $3 }' "$E2E_WORK/known" | sort -k 1,1) | tr '|' ' ')
[ "$os_version $subsystem_version" = "$newest $newest" ] ||
    e2e_fail "the header says OS $os_version, subsystem $subsystem_version; the imports need" \
        "$newest ($decided_by)"
echo "windows exe: header OS and subsystem $newest, decided by $decided_by"

# The manifest, from the resource the loader reads.
python3 "$here/win32/manifest_check.py" "$E2E_EXE" "$newest" || e2e_fail "the manifest is wrong"

# The loader still takes it (Wine reads the manifest too): the help path without a display.
e2e_expect_usage -h
echo "windows exe: runs and prints its usage"
