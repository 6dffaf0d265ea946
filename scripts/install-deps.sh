#!/usr/bin/env bash
# Installs what Pelandor needs to build, run and test on Debian 12 (Wine and
# MinGW-w64 for Windows import modules: the Windows module host is built with
# MinGW-w64 and runs under wine64; clang, with which the tests build the
# program a second time, and the fuzz targets).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
    libjpeg62-turbo-dev libexif-dev libpng-dev libicu-dev
    libgif-dev libgif7 libtiff-dev libtiff6 libwebp-dev libwebp7 libwebpdemux2 libwebpmux3
    libavif-dev libavif15 libheif-dev libheif1 libjxl-dev libjxl0.7
    shared-mime-info fonts-ipafont-gothic
    dpkg-dev desktop-file-utils appstream
    wine64 mingw-w64
    clang
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
