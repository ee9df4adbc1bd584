#!/usr/bin/env bash
# The Windows zip as a user gets it: made by cpack from the build tree and named after the
# project's version, it holds the program and its three text files side by side, the texts with
# CRLF line ends, the program's version information carries the same version, and the program
# runs from the unzipped folder.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_package wine "$@" unzip x86_64-w64-mingw32-windres
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$E2E_BUILD
version=$E2E_VERSION

# A fresh package of the build tree as it is now, never one left from an earlier build.
cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$E2E_WORK/package" >"$E2E_WORK/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(cat "$E2E_WORK/cpack.log")"
zip="$E2E_WORK/package/drivenudge-$version-win64.zip"
[ -f "$zip" ] || e2e_fail "no $(basename "$zip"); cpack made: $(ls "$E2E_WORK/package" | tr "\n" " ")"

# Flat: four names, no folders.
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "LICENSE.txt NOTICE.txt README.txt drivenudge.exe " ] || e2e_fail "the zip holds: $names"
unzip -q "$zip" -d "$E2E_WORK/unzipped"
cd "$E2E_WORK/unzipped"

# Every line of each text ends in CR LF, the last one too, and there is no other CR.
for text in README.txt LICENSE.txt NOTICE.txt; do
    lf=$(tr -cd '\n' <"$text" | wc -c)
    cr=$(tr -cd '\r' <"$text" | wc -c)
    crlf=$(grep -c $'\r$' "$text" || true)
    [ "$lf" -gt 0 ] && [ "$cr" = "$lf" ] && [ "$crlf" = "$lf" ] ||
        e2e_fail "$text: $lf line ends, $cr CRs, $crlf lines ending in CR LF"
    [ "$(tail -c 2 "$text" | od -An -tx1 | tr -d ' ')" = 0d0a ] || e2e_fail "$text: no line end at the end"
done
tr -d '\r' <LICENSE.txt | cmp -s - "$source_dir/LICENSE" || e2e_fail "LICENSE.txt is not LICENSE"
tr -d '\r' <NOTICE.txt | cmp -s - "$source_dir/NOTICE.md" || e2e_fail "NOTICE.txt is not NOTICE.md"
# README.txt: the users' part of README.md (title to licence), without the marker comments or
# the build instructions.
[ "$(head -n 1 README.txt)" = $'# drivenudge\r' ] || e2e_fail "README.txt starts: $(head -n 1 README.txt)"
grep -q '^## Licence' README.txt || e2e_fail "README.txt has no licence section"
! grep -q -e '<!--' -e '^## Building' README.txt || e2e_fail "README.txt holds more than the users' part"
# It says where the source is: the archive of this version, published beside the zip.
grep -q "drivenudge-$version-source\.tar\.gz" README.txt || e2e_fail "README.txt does not name the source archive"

# The executable's version information shows the version of the zip's name.
resources=$(x86_64-w64-mingw32-windres -i drivenudge.exe -O rc 2>/dev/null | tr -d '\r') ||
    e2e_fail "the resources of drivenudge.exe cannot be read"
file_version=$(sed -n 's/.*VALUE "FileVersion", "\(.*\)"/\1/p' <<<"$resources")
product_version=$(sed -n 's/.*VALUE "ProductVersion", "\(.*\)"/\1/p' <<<"$resources")
fixed_version=$(sed -n 's/^ *FILEVERSION \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *0$/\1.\2.\3/p' <<<"$resources")
[ "$file_version $product_version $fixed_version" = "$version $version $version" ] ||
    e2e_fail "version $version in the zip's name, but in drivenudge.exe: file version" \
        "'$file_version', product version '$product_version', FILEVERSION '$fixed_version'"

# Run from the unzipped folder, without a display: the usage text.
E2E_EXE="$E2E_WORK/unzipped/drivenudge.exe"
e2e_expect_usage
echo "windows zip: $(basename "$zip") holds the four files, CRLF texts, version $version, runs"
