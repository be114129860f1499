#!/bin/bash
# Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/), small files of
# every kind each reader takes, and the inputs of faults found by fuzzing (named
# regression-*). Run from the repository root after a build:
#   bash fuzz/corpus/make_seeds.sh build
# AREA files come from the fixture writer; native images, metafiles and fonts are made
# here or cut from the shipped data.
set -euo pipefail
build=${1:-build}
fx="$build/area_fixture"
out=fuzz/corpus
mkdir -p "$out"/{fuzz_sat_read_area,fuzz_img_read_zor,fuzz_native_read_path,fuzz_gread_metafile,fuzz_read_font}

# --- AREA files: every navigation type, both byte orders, framed streams.
a=$out/fuzz_sat_read_area
"$fx" type=PS order=big lines=6 elems=16 out=$a/ps_big.area
"$fx" type=PS order=little lines=6 elems=16 prefix=4 out=$a/ps_little_prefix.area
"$fx" type=GVAR order=big lines=4 elems=8 bytes=2 lres=8 eres=4 line=3797 elem=10881 \
    out=$a/gvar_two_byte.area
"$fx" type=GOES order=little lines=5 elems=12 out=$a/goes.area
"$fx" type=GOES order=sync lines=6 elems=20 out=$a/goes_sync.area
for t in MERC LAMB TANC RECT MOLL MSAT; do
    "$fx" type=$t order=big lines=4 elems=6 out=$a/$(echo $t | tr A-Z a-z).area
done
"$fx" type=none order=big lines=3 elems=5 out=$a/no_navigation.area
# Regressions: words at the ends of their range in the navigation and the directory.
max=2147483647
min=-2147483648
words() { local v=$1 n=$2 s=$1; for ((i = 2; i < n; i++)); do s="$s,$v"; done; echo "$s"; }
"$fx" type=GOES order=big lines=3 elems=5 nav="$(words $max 127)" \
    out=$a/regression-goes-words-int-max.area
"$fx" type=GVAR order=big lines=3 elems=5 nav="$(words $min 639)" \
    out=$a/regression-gvar-words-int-min.area
"$fx" type=PS order=big lines=3 elems=5 nav=-1530,830,600000,2381,$min,6378388 \
    out=$a/regression-ps-nrmlon-int-min.area
"$fx" type=MERC order=big lines=3 elems=5 nav=2000,500,4000,100,$min,6378388 \
    out=$a/regression-merc-lon-int-min.area
"$fx" type=LAMB order=big lines=3 elems=5 nav=-3000,600,250000,250000,4000,$min,6378388,250000 \
    out=$a/regression-lamb-lon-int-min.area
"$fx" type=TANC order=big lines=3 elems=5 nav=-30000000,6000000,4000000,400000,$min \
    out=$a/regression-tanc-lon-int-min.area
"$fx" type=RECT order=big lines=3 elems=5 nav=1,500000,1,$min,1000,1000,0,0,0,4,4,4,4 \
    out=$a/regression-rect-lon-int-min.area
"$fx" type=MOLL order=big lines=3 elems=5 nav=500,1000,100,$min out=$a/regression-moll-lon-int-min.area
"$fx" type=MSAT order=big lines=3 elems=5 nav=0,0,1250,0,$min out=$a/regression-msat-lon-int-min.area
"$fx" type=GOES order=big lines=3 elems=5 line=$max elem=$max \
    out=$a/regression-corner-int-max.area

# --- Native images.
n=$out/fuzz_img_read_zor
printf 'ZORIMG\n2024-01-04 14:27\nplain\n4 2\nabcdefgh' >$n/plain.img
printf 'ZORIMG\nl\ni\nLL 40.0 -100.0 1.0 1.0 3 2\nabcdef' >$n/v3_ll.img
printf 'ZORIMG\nl\ni\nPS:-105.0 60.0 -105.0 2.0 2.0 3 2\nabcdef' >$n/v3_ps.img
printf 'ZORIMG\nl\ni\nLC:25:-95:25:25:1 38.0 -96.0 1.2 1.2 3 2\nabcdef' >$n/v3_lc.img
printf 'ZORIMG\nl\ni\nSAT:0:-75:421.6 25.0 -80.0 0.03 0.1 3 2\nabcdef' >$n/v3_sat.img
printf 'ZORIMG4\nl\ni\nps:60:-105,40,-100,3,2,1,1\nabcdef' >$n/v4_domain.img
printf 'ZORIMGV\nl\ni\n2 1\n%01024dxy' 0 >$n/skip_v.img
printf 'ZORIMGC\nl\ni\n2 1\n\x00\x00\x00\x02abcdxy' >$n/skip_c.img
printf 'ZORIMG*\nl\ni\n3 2\n  pixels.bin\n' >$n/data_file.img
python3 - "$n" <<'PY'
import sys, zlib
d = sys.argv[1]
px = bytes(range(256)) * 40
hdr = b'ZORIMGZ\nl\ncompressed\n160 64\n'
streams = b''.join(zlib.compress(px[i:i + 10000]) for i in range(0, len(px), 10000))
open(d + '/compressed.img', 'wb').write(hdr + streams)
PY

# --- The whole read path: image, region file and city file, split at "%%" lines.
p=$out/fuzz_native_read_path
city='Denver_International CO US KDEN  2  39.87 -104.67 9999 99999 0'
printf 'ZORIMG4\nl\ni\nfi:zor.reg\nabcdef\n%%%%\nx  Test 1 ps,40,-100,3,2,1,1\n' >$p/fi_region.img
printf 'ZORIMG4\nl\ni\nps,id:KDEN,3,2,1,1\nabcdef\n%%%%\n\n%%%%\n%s\n' "$city" >$p/station.img
printf 'ZORIMG4\nl\ni\nps,id:sao.cty:KDEN,3,2,1,1\nabcdef\n%%%%\n\n%%%%\n%s\n' "$city" \
    >$p/station_file.img
printf 'ZORIMG4\nl\ni\nreg1\nabcdef\n%%%%\nreg1  One 1 reg2\nreg2  Two 1 lc:25:-95:25:25,38,-96,3,2,1,1\n' \
    >$p/region_names.img
printf 'ZORIMG4\nl\ni\nsat:e:0:-75:421.6:2,25,-80,3,2,0.03,0.1\nabcdef' >$p/satellite.img
printf 'ZORIMG\nl\ni\nSAT:0:-75 25.0 -80.0 0.03 0.1 3 2\nabcdef' >$p/v3.img

# --- Text metafiles.
m=$out/fuzz_gread_metafile
cat >$m/records.meta <<'META'
ZORMETA
#Title: ZOR Graphics Display: seed
WS_VP 1 0.000000 0.000000 1.000000 0.800000
WIN 1 0.000000 0.000000 10.000000 10.000000
VP 1 0.100000 0.100000 0.900000 0.700000
TR 1
PL_CLR 2
PL_LW 2.000000
PL_TYPE 1
PL 5 0.000000,0.000000 10.000000,0.000000 10.000000,10.000000 0.000000,10.000000
   0.000000,0.000000
PM_CLR 3
PM_SIZE 1.000000
PM_TYPE 2
PM 2 1.000000,1.000000 2.000000,2.000000
FA_CLR 4
FA_INT 1
FA 3 1.000000,1.000000 5.000000,1.000000 3.000000,4.000000
TE_CLR 1
TE_HGHT 0.500000
TE_UP 0.000000,1.000000
TE_ALGN 2 3
TE_FNT 1 2
TE 5.000000,5.000000 Seed text
CLR 1 5 0.100000 0.200000 0.300000
ME a message
SEG_CR 1
SEG_CL 1
META

# --- Stroke fonts: the first glyphs of a shipped font.
head -n 12 data/roman.fnt >$out/fuzz_read_font/roman_head.fnt
