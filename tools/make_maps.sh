#!/bin/bash
# Rebuilds the bundled map files data/*.map from GSHHG 2.3.7 as Debian's gmt-gshhg-low
# installs it (converter: tools/maps/gshhg2map.cpp, linked with libnetcdf-dev).
#
#   cont.map      shorelines, low resolution (continents and regional views)
#   country.map   national borders, low resolution
#   states.map    US states, Canadian provinces and territories, Mexican states
#   zor.map       the three above in one file (the default over North America)
#   cont_c.map    shorelines, crude resolution (whole-globe views)
#   country_c.map national borders, crude resolution
#
# Shoreline levels 1-5 are kept (land, lakes, islands in lakes, ponds, the Antarctic ice
# front); level 6, the Antarctic grounding line, lies inland of the ice front and is left
# out. The internal borders of the source cover the states of several countries of the
# Americas and Australia; the boxes below keep those of the three North American ones
# (south of 17.9 N only Chiapas, Tabasco and the Pacific coast states reach).
#
# Usage: tools/make_maps.sh [output folder]   (default: data)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-data}
SRC=/usr/share/gmt-gshhg
for f in binned_GSHHS_c.nc binned_GSHHS_l.nc binned_border_c.nc binned_border_l.nc; do
    [ -r "$SRC/$f" ] || { echo "make_maps.sh: $SRC/$f missing (apt-get install gmt-gshhg-low)" >&2; exit 1; }
done

TOOL=$(mktemp -d)
trap 'rm -rf "$TOOL"' EXIT
c++ -std=c++20 -O2 -Wall -Wextra -o "$TOOL/gshhg2map" tools/maps/gshhg2map.cpp \
    $(nc-config --cflags 2>/dev/null || true) -lnetcdf

NA_STATES="17.9,85,-170,-50;16.0,17.9,-120,-90.5;14.4,16.0,-120,-91.8"
G="$TOOL/gshhg2map"
mkdir -p "$OUT"
"$G" "$OUT/cont.map" "$SRC/binned_GSHHS_l.nc:1-5"
"$G" "$OUT/country.map" "$SRC/binned_border_l.nc:1"
"$G" "$OUT/states.map" "$SRC/binned_border_l.nc:2:$NA_STATES"
"$G" "$OUT/zor.map" "$SRC/binned_GSHHS_l.nc:1-5" "$SRC/binned_border_l.nc:1" \
    "$SRC/binned_border_l.nc:2:$NA_STATES"
"$G" "$OUT/cont_c.map" "$SRC/binned_GSHHS_c.nc:1-5"
"$G" "$OUT/country_c.map" "$SRC/binned_border_c.nc:1"
