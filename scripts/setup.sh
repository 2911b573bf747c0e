#!/usr/bin/env bash
# Installs what Farlight needs to build, test and run in the lab (only what is missing), then builds.
# Usage: scripts/setup.sh [--asan]   (--asan also builds the AddressSanitizer+UBSan tree in build-asan/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libglx-dev
    fonts-dejavu-core
    iproute2 procps util-linux psmisc tftp-hpa
    xvfb xauth imagemagick x11-utils
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs"
if [ "${1:-}" = "--asan" ]; then
    cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFARLIGHT_SANITIZE=ON >/dev/null
    cmake --build "$root/build-asan" -j "$jobs"
fi
