#!/usr/bin/env bash
# Sets everything up and runs the updater's main job against the built-in simulated instrument.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
echo "Building korrbsl and korrsim in build/release..."
log=build/release-build.log
mkdir -p build
# Quiet unless something goes wrong: then the whole build output is shown.
if ! { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORR_TESTS=OFF \
        -DKORR_BENCHMARKS=OFF &&
    cmake --build build/release --target korrbsl korrsim -j"$(nproc)"; } >"$log" 2>&1; then
    cat "$log"
    echo "The build failed; its output is above and in $log."
    exit 1
fi
echo "The programs are in $(pwd)/build/release:"
echo "  src/cli/korrbsl      the firmware updater (korrbsl --help)"
echo "  sim/korrsim          a simulated instrument on a pseudo-terminal (korrsim --help)"
echo

# The whole update of the built-in simulated Quorra Series 7 (firmware 3.55, with its settings),
# in real time: connect, save its settings, start its bootstrap loader, erase, program the
# built-in QS7 3.60 image, restart, check the new firmware and restore the settings. The last
# line says the instrument was updated and its settings restored.
./build/release/src/cli/korrbsl update --simulate
