#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Packs the build as the Debian package, into a folder of its own, checks its
# maintainer scripts and lets lintian judge it: an error or a warning fails.
# Where lintian is not installed the check is skipped (status 77) and says so.
set -euo pipefail
build=$1
if ! command -v lintian >/dev/null 2>&1; then
    echo "lintian is not installed (scripts/setup.sh installs it): the package is not checked"
    exit 77
fi
out=$(mktemp -d -t velto-deb.XXXXXX)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=$(echo "$out"/velto_*.deb)
# Both maintainer scripts are there, executable, and a failing udevadm does not
# fail the removal.
dpkg-deb -e "$deb" "$out/control"
for script in postinst postrm; do
    [ -x "$out/control/$script" ] || { echo "$script is missing or not executable"; exit 1; }
done
mkdir "$out/bin" && printf '#!/bin/sh\nexit 1\n' >"$out/bin/udevadm" && chmod +x "$out/bin/udevadm"
PATH=$out/bin:$PATH sh "$out/control/postrm" remove || { echo "postrm fails the removal"; exit 1; }
status=0
lintian --fail-on error,warning "$deb" || status=$?
[ "$status" -eq 0 ] || { echo "lintian finds errors or warnings in $(basename "$deb") (status $status)"; exit 1; }
echo "$(basename "$deb"): no lintian errors or warnings"
