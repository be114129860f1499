#!/bin/bash
# The main job on the bundled defaults: a loop of the last hour of images found
# through the bundled naming convention (data/name_conv) in a satellite folder,
# coloured, with coastlines, borders, latitude-longitude lines, labels and the
# colour bar. The frames are written as PNG files and one animated GIF (with no X
# server the pictures are drawn in memory); the program prints their names.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
XSAT=${1:-$BUILD/xsat}
OUT=${XSAT_DEMO_OUT:-demo_out}
SATDIR=$(mktemp -d /tmp/xsat_demo.XXXXXX)
trap 'rm -rf "$SATDIR"' EXIT
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

# One synthetic image every 15 minutes, the newest at 12:00 UTC on 4 December 2026.
"$BUILD/make_demo_images" "$SATDIR" 202612041200 5
export zorcurtime="#202612041210"
"$XSAT" -ba -me mess -fp data -sp "$SATDIR" -inp img -cu la -nh -1:00 \
    -ip "$OUT" -of "png=loop_%i.png" -pp irbar -cof ir_temp.enh -mf "zor.map,lalo=10"
"$XSAT" -ba -me mess -fp data -sp "$SATDIR" -inp img -cu la -nh -1:00 \
    -ip "$OUT" -of "gif=loop.gif" -pp irbar,gif_anim -cof ir_temp.enh -mf "zor.map,lalo=10"

# A real GOES-8 water-vapour image, when the shared sample data are beside us: remapped
# onto a Lambert conformal map of the Gulf of Mexico and the Caribbean.
AREA=../shared/data/area/cmx3g8_wv_1998.260_0745_mcidas.ara
if [ -f "$AREA" ]; then
    cp "$AREA" "$SATDIR/19980917_0745_wv.ara"
    zorcurtime="#199809170800" "$XSAT" -ba -me mess -fp data -sp "$SATDIR" -if wv -cu la \
        -ip "$OUT" -of "png=goes8_wv.png" -pp bar -cof grey.enh -mf "zor.map,lalo=10" \
        -ge 1280x720 -pd "lamb:25:-80:25:25,25,-80,1280,720,0.05,0.05"
fi

# Real imagery: the NASA earth picture of xplanet-images, turned into a native image on
# a latitude-longitude grid, shown as a geostationary satellite sees it from 75 W and on a
# polar stereographic map of North America.
# An installed xsat (XSAT_INSTALLED set) finds its data by itself.
EARTH=/usr/share/xplanet/images/earth.jpg
if [ -f "$EARTH" ] && [ -x "$BUILD/earth2img" ]; then
    "$BUILD/earth2img" "$EARTH" "$SATDIR/earth.img" 202612041200
    fp=(-fp data)
    [ -n "${XSAT_INSTALLED:-}" ] && fp=()
    sat=(-ge 800x800 -pd "sat:0:-75,0,-75,800,800,0.17,0.17")
    polar=(-ge 1000x800 -pd "ps,45,-95,1000,800,0.075,0.075")
    look=(-inp img -pp bar -cof grey.enh -mf "zor.map,lalo=10")
    for out in png=earth_sat.png gif=earth_sat.gif; do
        "$XSAT" -ba -me mess "${fp[@]}" "${look[@]}" -ip "$OUT" -of "$out" "${sat[@]}" \
            "$SATDIR/earth.img"
    done
    "$XSAT" -ba -me mess "${fp[@]}" "${look[@]}" -ip "$OUT" -of png=earth_ps.png \
        "${polar[@]}" "$SATDIR/earth.img"
    if [ -n "${DISPLAY:-}" ] && [ -z "${XSAT_DEMO_BATCH:-}" ]; then
        echo "Showing the earth from a satellite, then on a polar map: Return ends each view."
        "$XSAT" -de d -me warn "${fp[@]}" "${look[@]}" "${sat[@]}" "$SATDIR/earth.img"
        "$XSAT" -de d -me warn "${fp[@]}" "${look[@]}" "${polar[@]}" "$SATDIR/earth.img"
    fi
fi
