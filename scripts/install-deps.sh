#!/usr/bin/env bash
# Installs the Debian packages the build needs (run as root on Debian 12).
# Usage: install-deps.sh run|test|screenshots
set -euo pipefail

# The window (korrbsl-gui) is built where Qt 6 is found.
packages=(g++ cmake ninja-build pkg-config libcli11-dev libudev-dev qt6-base-dev qt6-svg-dev)
if [ "${1:-run}" = test ] || [ "${1:-run}" = screenshots ]; then
    packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev srecord)
fi
# The README's pictures of the window are taken under a virtual X server.
if [ "${1:-run}" = screenshots ]; then
    packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
