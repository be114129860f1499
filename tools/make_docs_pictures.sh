#!/bin/bash
# Makes the pictures the README shows (docs/*.png, docs/loop.gif) with the demo run:
#   bash tools/make_docs_pictures.sh [build folder]
# The GOES-8 picture needs the shared sample data beside the checkout, the earth pictures
# the package xplanet-images.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
OUT=$(mktemp -d /tmp/xsat_docs.XXXXXX)
trap 'rm -rf "$OUT"' EXIT
BUILD=$BUILD XSAT_DEMO_OUT=$OUT XSAT_DEMO_BATCH=1 bash tools/demo_run.sh "$BUILD/xsat"
mkdir -p docs
for f in goes8_wv.png earth_sat.png earth_ps.png loop.gif; do
    if [ -f "$OUT/$f" ]; then
        cp "$OUT/$f" docs/
        echo "docs/$f"
    fi
done
