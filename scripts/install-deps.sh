#!/usr/bin/env bash
# Installs the Debian packages the build needs (run as root on Debian 12).
# Usage: install-deps.sh run|test
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libcli11-dev libudev-dev)
if [ "${1:-run}" = test ]; then
    packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev srecord)
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
