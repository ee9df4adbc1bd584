#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need, where missing.
# Needs root (apt-get); does nothing when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth libgl1-mesa-dri xdotool x11-apps imagemagick openbox x11-utils
    libx11-dev libxext-dev libxtst-dev
    inotify-tools pkg-config libpixman-1-dev libsdl2-dev
    unzip python3 python3-yaml systemd
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
