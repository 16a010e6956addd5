#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Starts Velto on the virtual instrument under Xvfb, waits for it to connect
# and draw, and saves a PNG of its window.
# Usage: scripts/screenshot.sh [output.png] [seconds to wait]
# SHOT_SCREEN sets the virtual screen (default 1600x1000x24); SHOT_ACTIONS is
# a shell snippet run before the picture is taken, with $win the window's id
# (for example "xdotool windowsize $win 1024 640; sleep 1"); an action that
# opens a pop-up sets SHOT_TARGET=root to take the whole screen.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/run/screenshot.png}")
wait_s=${2:-4}
bash "$top/scripts/setup.sh" >/dev/null
bash "$top/scripts/build.sh" "$top/build" >/dev/null
work=$(mktemp -d -t velto-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$top/data/." "$work/"
mkdir -p "$work/home" "$(dirname "$out")"
cd "$work"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" VELTO_DEVICE=virtual \
xvfb-run -a -s "-screen 0 ${SHOT_SCREEN:-1600x1000x24}" bash -c '
    "$0" & app=$!
    for i in $(seq 1 50); do
        win=$(xdotool search --class velto 2>/dev/null | tail -1 || true)
        [ -n "$win" ] && break
        sleep 0.2
    done
    sleep "$1"
    if [ -z "$win" ]; then echo "screenshot: no Velto window" >&2; kill $app; exit 1; fi
    eval "${SHOT_ACTIONS:-}"
    import -window "${SHOT_TARGET:-$win}" "$2"
    kill $app; wait $app 2>/dev/null || true
' "$top/build/velto" "$wait_s" "$out"
echo "screenshot: $out"
