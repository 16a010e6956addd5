#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Runs one test executable in a fresh temporary home and working directory
# holding the files of data/, so that no test sees the user's settings or
# another test's files.
set -euo pipefail
exe=$1
datadir=$2
shift 2
work=$(mktemp -d -t velto-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config" "$work/run"
if [ -d "$datadir" ]; then cp -r "$datadir"/. "$work/run/"; fi
cd "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM="${VELTO_TEST_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="$work/home"
unset VELTO_TRACE
"$exe" "$@"
