#!/bin/bash
# Installs the build into a fresh prefix and runs the installed program from another
# folder with no configuration of its own (no -fp, no resource file, no zordefault):
# it must find its colour table, fonts, maps and enhancement tables through the
# installed zor.cfg and write a PNG.
#   install_test.sh CMAKE BUILD_DIR MAKE_DEMO_IMAGES
set -euo pipefail
CMAKE=$1
BUILD=$2
MAKE_IMAGES=$3
TMP=$(mktemp -d /tmp/xsat_install.XXXXXX)
trap 'rm -rf "$TMP"' EXIT

"$CMAKE" --install "$BUILD" --prefix "$TMP/prefix" > "$TMP/install.log"
test -f "$TMP/prefix/etc/xsat/zor.cfg"
test -f "$TMP/prefix/share/man/man1/xsat.1"

mkdir "$TMP/work" "$TMP/home"
"$MAKE_IMAGES" "$TMP/work" 202612041200 1 > /dev/null
IMG=$(ls "$TMP"/work/*.img)
cd "$TMP/work"
env -u zordefault -u zorfile HOME="$TMP/home" "$TMP/prefix/bin/xsat" -ba -me mess -inp img \
    -ip "$TMP/work" -of png=out.png -pp bar -cof ir_temp.enh -mf "zor.map,lalo=10" \
    "$IMG" > "$TMP/run.log" 2>&1 || { cat "$TMP/run.log"; exit 1; }
# Every shipped file it needed was found: no "not found" or "unable to" message.
if grep -i "not found\|unable to\|cannot" "$TMP/run.log"; then
    exit 1
fi
test "$(head -c 8 "$TMP/work/out.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a
