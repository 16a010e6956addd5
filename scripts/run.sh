#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Installs what is missing, builds, and starts Velto on the virtual instrument
# in the folder run/, which holds the files of data/ (hardware.xml and the
# device information files). velto.log and the wire trace land there too.
# The virtual bench's logic inputs carry a binary counter; to have them carry
# UART (bits 0, 1), SPI (bits 2 to 5) and I2C (bits 6, 7) traffic for the
# protocol decoders, start with VELTO_VSIM=bus (or set wiring="bus" in the
# "logic" element of data/vsim.xml):  VELTO_VSIM=bus scripts/run.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
# Configured once; after that ninja reconfigures by itself when a CMake file
# changes, and only Velto itself is built, not the tests: a second start
# after no change is a quick check and the window.
if [ ! -f "$top/build/build.ninja" ]; then
    cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
fi
cmake --build "$top/build" --target velto -j"$(nproc)"
mkdir -p "$top/run"
cp -r "$top/data/." "$top/run/"
cd "$top/run"
export VELTO_DEVICE=${VELTO_DEVICE:-virtual}
export VELTO_TRACE=${VELTO_TRACE:-$top/run/wire.trace}
rm -f "$VELTO_TRACE"
echo "run: Velto on the ${VELTO_DEVICE} instrument; log in run/velto.log, wire trace in ${VELTO_TRACE}"
exec "$top/build/velto" "$@"
