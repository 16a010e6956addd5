#!/usr/bin/env bash
# Counts the lines of Velto's C++ sources: tests against everything else
# (benchmarks and the virtual instrument included), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -co --exclude-standard -- "$@" | grep -E '\.(cpp|h)$' | xargs cat | wc -l; }
tests=$(count tests)
code=$(count ':!tests' ':!build*')
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, t / c }'
