#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Before and after on one machine, in one run: builds the display benchmark
# and Velto of a reference commit in a worktree of its own (default: the
# commit before the frame queue, the intensity persistence and the paced
# painting), runs its benchmark and this tree's one after the other, then
# starts each version's Velto on the virtual instrument at its default
# settings (offscreen, a fresh home) and reads the CPU and resident memory
# of the process over a stretch of seconds.
#
#   bash scripts/bench-compare.sh [ticks] [seconds]
#   OLD_COMMIT=<commit> OLD_TREE=<folder> to compare against another commit.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
old=${OLD_COMMIT:-413c4da}
# Inside the ignored build folders, so that the shared compiler cache serves both trees.
oldtree=${OLD_TREE:-$top/build-old}
ticks=${1:-400}
seconds=${2:-10}
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

if [ ! -d "$oldtree" ]; then
    git -C "$top" worktree add --detach "$oldtree" "$old" >/dev/null
fi
for tree in "$oldtree" "$top"; do
    [ -f "$tree/build/build.ninja" ] || cmake -S "$tree" -B "$tree/build" -G Ninja "${launcher[@]}" >/dev/null
    cmake --build "$tree/build" -j2 --target bench_display velto >/dev/null
done

# The application itself: CPU over `seconds` after a settling start, and its resident memory.
app_figures() {
    local binary=$1 home
    home=$(mktemp -d)
    cp -r "$top/data/." "$home/"
    (cd "$home" && HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen VELTO_DEVICE=virtual \
        exec "$binary" >/dev/null 2>&1) &
    local pid=$! tick before after
    tick=$(getconf CLK_TCK)
    sleep 5
    before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    local rss
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
    awk -v b="$before" -v a="$after" -v t="$tick" -v s="$seconds" -v r="$rss" \
        'BEGIN { printf "Velto at its default settings: CPU %.1f %% of a core, resident %.1f MB\n", 100 * (a - b) / t / s, r / 1024 }'
}

echo "=== before: $old ($(git -C "$oldtree" log -1 --format=%h))"
nice -n 10 "$oldtree/build/bench/bench_display" "$ticks" "$seconds"
app_figures "$oldtree/build/velto"
echo
echo "=== after: $(git -C "$top" log -1 --format=%h)$(git -C "$top" diff --quiet || echo ' (with changes not committed)')"
nice -n 10 "$top/build/bench/bench_display" "$ticks" "$seconds"
app_figures "$top/build/velto"
