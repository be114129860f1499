#!/bin/bash
# Set-up, build and the main job on the bundled defaults: xsat finds the
# newest satellite file through the bundled naming convention and reports it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target xsat make_demo_images earth2img
bash tools/demo_run.sh build/xsat
