#!/usr/bin/env bash
# Counts the lines of Velto's C++ sources: tests against everything else
# (benchmarks and the virtual instrument included), and their ratio. The
# fuzz targets are neither: they are counted on their own.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -co --exclude-standard -- "$@" | grep -E '\.(cpp|h)$' | xargs cat | wc -l; }
tests=$(count tests)
code=$(count ':!tests' ':!build*' ':!fuzz')
fuzz=$(count fuzz)
awk -v t="$tests" -v c="$code" -v f="$fuzz" 'BEGIN { printf "tests %d, code %d, ratio %.3f (fuzz targets %d)\n", t, c, t / c, f }'
