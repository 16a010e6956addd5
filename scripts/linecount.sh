#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Counts the lines of Velto's C++ sources: tests against the program's own
# code (the virtual instrument and tools included; benchmarks and fuzz targets
# are neither, and are counted apart), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -co --exclude-standard -- "$@" | { grep -E '\.(cpp|h)$' || true; } | xargs -r cat | wc -l; }
tests=$(count tests)
code=$(count ':!tests' ':!bench' ':!fuzz' ':!build*')
bench=$(count bench)
fuzz=$(count fuzz)
awk -v t="$tests" -v c="$code" -v b="$bench" -v f="$fuzz" \
    'BEGIN { printf "tests %d, code %d, ratio %.3f (apart: benchmarks %d, fuzz targets %d)\n", t, c, t / c, b, f }'
