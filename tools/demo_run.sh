#!/bin/bash
# The main job on the bundled defaults: a loop of the last hour of images found
# through the bundled naming convention (data/name_conv) in a satellite folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
XSAT=${1:-$BUILD/xsat}
SATDIR=$(mktemp -d /tmp/xsat_demo.XXXXXX)
trap 'rm -rf "$SATDIR"' EXIT

# One synthetic image every 15 minutes, the newest at 12:00 UTC on 4 December 2026.
"$BUILD/make_demo_images" "$SATDIR" 202612041200 5
export zorcurtime="#202612041210"
"$XSAT" -ba -me mess,+out2 -fp data -sp "$SATDIR" -inp img -cu la -nh -1:00

# A real GOES-8 water-vapour image, when the shared sample data are beside us.
AREA=../shared/data/area/cmx3g8_wv_1998.260_0745_mcidas.ara
if [ -f "$AREA" ]; then
    cp "$AREA" "$SATDIR/19980917_0745_wv.ara"
    zorcurtime="#199809170800" "$XSAT" -ba -me mess,+out2 -fp data -sp "$SATDIR" -if wv -cu la
fi
