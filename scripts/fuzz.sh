#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Builds one fuzz target and runs it for a while on a scratch copy of its
# seed corpus, so the corpus in the repository stays small.
# Usage: scripts/fuzz.sh TARGET SECONDS [extra libFuzzer options...]
#   TARGET: scopeframe snifferframe meterread xml waveformcsv wave recording settings scpi
# A crash, a sanitizer report, a leak or an input slower than the time-out
# ends the run with a non-zero status and leaves the input in
# build-fuzz/artifacts/TARGET/. Runs under nice: the machine is shared.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
shift 2
[ -d "$top/fuzz/corpus/$target" ] || { echo "fuzz.sh: no target '$target'" >&2; exit 2; }
dir=$top/build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DVELTO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 "${launcher[@]}" >/dev/null
fi
nice -n 10 cmake --build "$dir" -j2 --target "fuzz_$target"
scratch=$dir/corpus/$target
artifacts=$dir/artifacts/$target
mkdir -p "$scratch" "$artifacts"
cp -n "$top/fuzz/corpus/$target"/* "$scratch"/ 2>/dev/null || true
# A freed block waits in a quarantine of 64 MB rather than 256 before it is
# used again, and an allocation keeps the 8 innermost calls of its stack
# rather than 30: the wave and settings targets allocate for every value,
# and the page faults of the larger quarantine and the deeper stacks were a
# fifth of their time. A use after free is still caught while the block
# waits, and a report still names where the block was made.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=0:quarantine_size_mb=64:malloc_context_size=8}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/fuzz/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
# The targets that go through files write them in memory: on the disk, the
# file system's work was most of the time of each input.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export VELTO_FUZZ_SLOWEST=$artifacts/slowest-input
rm -f "$VELTO_FUZZ_SLOWEST.txt" # the last run's
# Options of single targets (the options given on the command line come
# after, and win):
# - wave: an input past 1 KB is more values of the same kind (a frame of ten
#   vectors with over a hundred values between them, or several frames), and
#   each value is formatted and read several times. The texts of formatted
#   numbers are kept in a cache that grows with every new value, so nearly
#   every input allocates more than it frees and libFuzzer ran it a second
#   time to look for a leak; LeakSanitizer still checks the whole run at exit.
# - settings: the settings store keeps what it read of a file in a cache of
#   its own, with the same effect on the leak search.
options=()
case $target in
wave) options=(-max_len=1024 -detect_leaks=0) ;;
settings) options=(-detect_leaks=0) ;;
esac
exec nice -n 10 "$dir/fuzz/fuzz_$target" "$scratch" -max_total_time="$seconds" -timeout=10 \
    -report_slow_units=1 -print_final_stats=1 -artifact_prefix="$artifacts/" "${options[@]}" "$@"
