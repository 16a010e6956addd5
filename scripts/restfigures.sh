#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Velto at rest: starts a built Velto on the virtual instrument at its default
# settings (a fresh home) in a 1600x1000 window under Xvfb, lets it settle,
# then prints over a stretch of seconds the CPU of each of its threads (by
# name), summed as Velto's own and as the virtual instrument's (the USB event
# thread, whose event handling builds the bench's frames, stands in for the
# device), and its resident memory at the end. A screenshot is kept when
# SHOT names a file.
#
#   bash scripts/restfigures.sh [velto binary] [seconds=60]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
binary=$(realpath "${1:-$top/build/velto}")
seconds=${2:-60}
work=$(mktemp -d -t velto-rest.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$top/data/." "$work/"
mkdir -p "$work/home"
cd "$work"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" VELTO_DEVICE=virtual SECONDS_TO_RUN=$seconds SHOT=${SHOT:-} \
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
    "$0" >/dev/null 2>&1 & app=$!
    for i in $(seq 1 50); do
        win=$(xdotool search --class velto 2>/dev/null | tail -1 || true)
        [ -n "$win" ] && break
        sleep 0.2
    done
    [ -n "$win" ] && xdotool windowsize "$win" 1600 1000 && xdotool windowmove "$win" 0 0
    sleep 8
    tick=$(getconf CLK_TCK)
    sample() { for t in /proc/$app/task/*; do echo "$(basename $t) $(cat $t/comm | tr " " _) $(cut -d")" -f2 $t/stat | awk "{print \$12 + \$13}")"; done; }
    sample > before
    sleep "$SECONDS_TO_RUN"
    sample > after
    rss=$(awk "/VmRSS/ {print \$2}" /proc/$app/status)
    [ -n "$SHOT" ] && import -window root "$SHOT"
    kill $app; wait $app 2>/dev/null || true
    join before after | awk -v t=$tick -v s=$SECONDS_TO_RUN -v rss=$rss "
        { used = (\$5 - \$3) / t / s * 100; byname[\$2] += used;
          if (\$2 ~ /usbevents/) bench += used; else own += used }
        END { for (n in byname) if (byname[n] >= 0.05) printf \"  %-20s %5.1f %% of a core\n\", n, byname[n];
              printf \"Velto'\''s own threads: %.1f %% of a core; the virtual instrument (USB event thread): %.1f %%; resident %.1f MB\n\", own, bench, rss / 1024 }"
' "$binary"
