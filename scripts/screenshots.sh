#!/usr/bin/env bash
# Pictures of the window for the README, taken under Xvfb against the simulated instrument:
# docs/window-idle.png, docs/window-update.png, docs/window-box.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh screenshots
cmake -S . -B build/gcc -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DKORR_WERROR=ON >/dev/null
cmake --build build/gcc -j"$(nproc)" --target gui_screenshots

# The pictures must not depend on this user's settings or files.
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p docs
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home" \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    build/gcc/tests/gui/gui_screenshots docs
