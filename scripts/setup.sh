#!/usr/bin/env bash
# Installs what Farlight needs to build, test and run in the lab (only what is missing; apt-get
# through sudo when not root), then builds as the invoking user.
# Usage: scripts/setup.sh [--asan]   (--asan also builds the AddressSanitizer+UBSan tree in build-asan/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/common.sh"
fl_back_to_invoker "$0" "$@"

packages=(
    # building, and fonts for the widget tests
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libglx-dev
    fonts-dejavu-core
    # socket and lab tests, the lab: ip, sysctl and pgrep, unshare, setpriv and setsid, tftp,
    # python3 (the TFTP test reads the simulator's JSON with it)
    iproute2 procps util-linux tftp-hpa python3
    # the upload lab test runs tftpd-hpa's in.tftpd itself, inside the lab's device namespace;
    # bench_upload_lab times tftp-hpa's, atftp's and curl's clients against the engine
    tftpd-hpa atftp curl
    # the network diagnosis reads the firewall with nft; its lab test loads rules in the lab only
    nftables
    # scripts/run.sh without a display: xvfb-run, and import for a screenshot
    xvfb xauth imagemagick
    # the start-up test on a desktop whose accessibility bus hangs: a session bus, the bus
    # launcher, and xwininfo to see the window
    dbus at-spi2-core x11-utils
    # the install test and the Debian package: validators of the desktop entry and the AppStream
    # metadata, and dpkg-shlibdeps (dpkg-dev) with file for CPack's dependency computation
    desktop-file-utils appstream dpkg-dev file
    # the fuzz targets (fuzz/, FARLIGHT_FUZZ=ON): clang and its libFuzzer and sanitizer runtimes
    clang libclang-rt-dev
    # the Ansible collection's lab test (tests/ansible): ansible-playbook over SSH to an sshd per
    # site that the test starts inside the lab
    ansible-core openssh-server openssh-client
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    fl_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    fl_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    # These packages start a TFTP server and an SSH server on the machine's own interfaces; only
    # the lab's copies, started by the tests inside their namespaces, are wanted.
    for pair in tftpd-hpa:tftpd-hpa openssh-server:ssh; do
        package=${pair%%:*} service=${pair#*:}
        [[ " ${missing[*]} " == *" $package "* ]] || continue
        fl_as_root systemctl disable --now "$service" >/dev/null 2>&1 \
            || { fl_as_root service "$service" stop >/dev/null 2>&1; fl_as_root update-rc.d "$service" disable >/dev/null 2>&1; } \
            || true
    done
fi

jobs=$(nproc)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs"
if [ "${1:-}" = "--asan" ]; then
    cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFARLIGHT_SANITIZE=ON >/dev/null
    cmake --build "$root/build-asan" -j "$jobs"
fi
