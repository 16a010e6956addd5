#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Installs the Debian packages Velto needs to build, run and test, skipping the
# ones already present. Safe to run again. Needs root (or sudo).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5svg5-dev
    libqcustomplot-dev libusb-1.0-0-dev libsigrokdecode-dev
    python3-dev pybind11-dev python3-pyqt5 python3-pyvisa python3-pyvisa-py
    xvfb xauth xdotool imagemagick
    sigrok-cli librsvg2-bin desktop-file-utils appstream lintian
    clang-14 libclang-rt-14-dev
    fonts-cantarell fonts-liberation fonts-dejavu-core fonts-dejavu-extra
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi
echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
