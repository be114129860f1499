#!/bin/bash
# Installs every Debian package the build, the tests and the benchmarks use.
# Run as root (or with sudo available) on Debian 12.
set -euo pipefail

PACKAGES=(
    build-essential cmake g++ clang clang-format libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libx11-dev libxext-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libgdcm-dev
    proj-bin libproj-dev
    python3 hershey-fonts-data ncl-ncarg gdal-bin ghostscript hp2xx
    libjpeg-turbo-progs libjpeg-tools
    gmt-gshhg-low libnetcdf-dev
    weather-util-data metview-data gdbmtool iso-codes
    xvfb xauth x11-apps xdotool faketime
    giflib-tools imagemagick netpbm pngcheck optipng
    xplanet-images dpkg-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
