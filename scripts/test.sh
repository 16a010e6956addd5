#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Installs what is missing, builds, and runs the whole test suite.
# Usage: scripts/test.sh [--sanitize]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
dir=$top/build
args=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=$top/build-sanitize
    args=(-DVELTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    # Qt's own allocations at exit are not ours to chase; every other report fails the run.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
bash "$top/scripts/build.sh" "$dir" "${args[@]}"
cd "$dir"
ctest --output-on-failure -j2 --timeout 300
