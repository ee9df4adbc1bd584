#!/usr/bin/env bash
# The source archive published beside the binaries: made by cpack's source generator from the
# build tree, named drivenudge-<version>-source.tar.gz, it holds exactly the files git tracks
# under one top folder, and the project builds from it alone: unpacked in a temporary folder,
# configured with the native preset and its program built (the program only: the whole build
# with tests and benchmarks would add many minutes and prove little more), which then runs.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_package native "$@" cmake git tar
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
    e2e_skip "the source folder is not a git checkout (the archive is made from one)"
version=$E2E_VERSION
build=$E2E_BUILD
# An untracked file in the source folder must stay out of the archive.
stray="$source_dir/stray-$$.txt"
echo "not part of the project" >"$stray"
E2E_LINKS+=("$stray") # removed on exit with the rest
cpack --config "$build/CPackSourceConfig.cmake" -B "$E2E_WORK/package" >"$E2E_WORK/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(cat "$E2E_WORK/cpack.log")"
rm -f "$stray"
name="drivenudge-$version-source"
archive="$E2E_WORK/package/$name.tar.gz"
[ -f "$archive" ] || e2e_fail "no $name.tar.gz; cpack made: $(ls "$E2E_WORK/package" | tr '\n' ' ')"

# Exactly the tracked files, each under the one top folder.
tar -tzf "$archive" >"$E2E_WORK/listing"
! grep -qv "^$name/" "$E2E_WORK/listing" || e2e_fail "entries outside $name/: $(grep -v "^$name/" "$E2E_WORK/listing" | head -n 3)"
grep -v '/$' "$E2E_WORK/listing" | sed "s|^$name/||" | sort >"$E2E_WORK/archived"
git -C "$source_dir" -c core.quotePath=off ls-files | sort >"$E2E_WORK/tracked"
diff "$E2E_WORK/tracked" "$E2E_WORK/archived" >"$E2E_WORK/difference" ||
    e2e_fail "the archive is not the tracked files (< tracked only, > archived only):
$(head -n 20 "$E2E_WORK/difference")"

# Unpacked somewhere else, it configures and builds on its own.
mkdir "$E2E_WORK/unpacked"
tar -xzf "$archive" -C "$E2E_WORK/unpacked"
tree="$E2E_WORK/unpacked/$name"
(cd "$tree" && cmake --preset native >"$E2E_WORK/configure.log" 2>&1) ||
    e2e_fail "configuring the unpacked source failed: $(tail -n 20 "$E2E_WORK/configure.log")"
(cd "$tree" && cmake --build --preset native -j "$(nproc)" --target drivenudge >"$E2E_WORK/build.log" 2>&1) ||
    e2e_fail "building the unpacked source failed: $(tail -n 20 "$E2E_WORK/build.log")"
E2E_EXE="$tree/build/native/app/drivenudge"
e2e_expect_usage -h
echo "source archive: $name.tar.gz holds the $(wc -l <"$E2E_WORK/tracked") tracked files;" \
    "unpacked, it configures with the native preset and builds a program that runs"
