#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Pictures of the dark, light and a custom plot theme with both kinds of
# cursors, the trigger marker and the logic labels showing, and of live
# traces with logic bits, the spectrum, the light theme with references and a
# slow frame half acquired, taken from the real window
# on the virtual instrument under Xvfb.
# Usage: scripts/themeshots.sh [build folder] [output folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build}")
out=$(realpath -m "${2:-/tmp/velto-shots}")
cmake --build "$build" -j2 --target velto_screenshots >/dev/null
work=$(mktemp -d -t velto-themeshots.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$top/data/." "$work/"
mkdir -p "$work/home" "$out"
chmod 700 "$work/home"
cd "$work"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home" \
VELTO_DEVICE=virtual QT_QPA_PLATFORM=xcb \
xvfb-run -a -s "-screen 0 1600x1000x24" "$build/tools/velto_screenshots" "$out"
ls "$out"/*.png
