#!/bin/bash
# Set-up, warning-free build with g++ and the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DXSAT_WERROR=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
