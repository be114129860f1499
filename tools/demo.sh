#!/bin/bash
# Set-up, build, install under ./install and the main job: the demo pictures (a loop of
# synthetic images, the GOES-8 sample when the shared data are beside the checkout, and the
# NASA earth picture from a satellite and on a polar-stereographic map) written as PNG and
# GIF files in demo_out/; with DISPLAY set the earth is also shown in a window (Return ends
# each view).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PWD/install" \
    >/dev/null
cmake --build build -j"$(nproc)" --target xsat make_demo_images earth2img
cmake --install build >/dev/null
XSAT_INSTALLED=1 bash tools/demo_run.sh install/bin/xsat
