#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Installs the build into a temporary prefix and checks that every file the
# desktop and Debian need is there, that the changelog's latest entry is the
# program's version, that the installed program runs, and that it finds its
# data files in the installed folder from a folder without them.
set -euo pipefail
build=$1
prefix=$(mktemp -d -t velto-prefix.XXXXXX)
work=$(mktemp -d -t velto-empty.XXXXXX)
trap 'rm -rf "$prefix" "$work"' EXIT
# Nothing of the user's: a fresh home, settings and data folder.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
unset VELTO_DEVICE VELTO_TRACE
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/velto share/velto/hardware.xml share/velto/vsim.xml share/icons/hicolor/scalable/apps/velto.svg \
         share/icons/hicolor/48x48/apps/velto.png share/applications/local.velto.Velto.desktop \
         share/metainfo/local.velto.Velto.metainfo.xml lib/udev/rules.d/60-velto.rules \
         share/doc/velto/copyright share/doc/velto/changelog.gz share/man/man1/velto.1.gz; do
    [ -s "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
file "$prefix/share/icons/hicolor/48x48/apps/velto.png" | grep -q "48 x 48" || { echo "icon is not 48 px"; exit 1; }
"$prefix/bin/velto" --version | grep -q "^Velto 1.2 (build [0-9]\{10\}\(+changes\)\{0,1\})$"
version=$("$prefix/bin/velto" --version | cut -d' ' -f2)
latest=$(zcat "$prefix/share/doc/velto/changelog.gz" | sed -n 1p)
[[ $latest == "velto ($version) "* ]] || { echo "the changelog's latest entry is not version $version: $latest"; exit 1; }
cd "$work"
timeout 20 "$prefix/bin/velto" --device virtual -platform offscreen --trace wire.trace &
pid=$!
for _ in $(seq 100); do
    grep -q "Data file: $prefix/share/velto/vsim.xml" velto.log 2>/dev/null && break
    sleep 0.2
done
kill "$pid"
grep -q "Data file: $prefix/share/velto/hardware.xml" velto.log || { echo "installed data not used:"; cat velto.log; exit 1; }
grep -q "ctrl 0x47 0 0 64 64" wire.trace
echo "installed into $prefix: files, version and data folder good"
