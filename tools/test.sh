#!/bin/bash
# Set-up, warning-free build with g++ and the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DXSAT_WERROR=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
# The X11 tests need a server: the whole suite runs under a 24-bit Xvfb, then the X11 tests
# again under 16-bit TrueColor and 8-bit PseudoColor servers.
for depth in 24 16 8; do
    tests=()
    [ "$depth" = 24 ] || tests=(-R '^X11[.]')
    echo "== X server depth $depth"
    xvfb-run -a -s "-screen 0 1280x1024x$depth -noreset" \
        ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" "${tests[@]}"
done
