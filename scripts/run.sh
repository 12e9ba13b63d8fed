#!/usr/bin/env bash
# Sets everything up and runs the updater's main job against the built-in simulated instrument.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORR_TESTS=OFF \
    -DKORR_BENCHMARKS=OFF >/dev/null
cmake --build build/release --target korrbsl -j"$(nproc)"

# The loader part of an update against the built-in simulated Quorra Series 7: connect to its
# bootstrap loader, erase, program the built-in QS7 3.60 image, send the vectors, restart.
./build/release/src/cli/korrbsl flash --simulate
