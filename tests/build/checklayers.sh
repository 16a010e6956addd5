#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# The layer check on a small tree: a clean tree passes, and each kind of
# forbidden include (a short name that reaches another folder, a path that
# climbs with .., a widget header below the controllers, an app header in a
# controller, a core header naming a device class) fails it with its reason.
# Usage: checklayers.sh <cmake/layers.cmake> <Qt Widgets include folders, comma-separated>
set -u
check=$1
widgets=$2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{base,core/scope,device,scope,app,console}
echo '#pragma once' > "$tree/base/logging.h"
echo '#pragma once' > "$tree/scope/scopedisplay.h"
echo '#pragma once' > "$tree/app/veltointerface.h"
echo '#pragma once' > "$tree/console/pythonbridge.h"
printf '#pragma once\nclass LibUsbDevice {\npublic:\n    int x;\n};\n' > "$tree/device/libusbdevice.h"
printf '#pragma once\n#include "base/logging.h"\n' > "$tree/core/scope/wave.h"
printf '#include "core/scope/wave.h"\n#include "wave.h"\n#include <QString>\n' > "$tree/core/scope/wave.cpp"
printf '#include "core/scope/wave.h"\n#include "device/libusbdevice.h"\n#include <QWidget>\n' > "$tree/scope/plot.cpp"

run() { cmake -DTOP="$tree" -DQT_WIDGETS_DIR="$widgets" -P "$check" 2>&1; }
failed=0
if ! out=$(run); then
    echo "FAIL: the clean tree was refused:"; echo "$out"; failed=1
fi

cases=(
    'core/scope/a.cpp|#include "scopedisplay.h"|includes scopedisplay.h, found neither'
    'core/scope/b.cpp|#include "../../app/veltointerface.h"|climbs with ..'
    'core/scope/c.cpp|#include <QWidget>|the widget header QWidget'
    'device/d.cpp|#include "ui_veltointerface.h"|the widget header ui_veltointerface.h'
    'scope/e.cpp|#include "app/veltointerface.h"|of the app layer, from the controllers layer'
    'scope/f.cpp|#include "console/pythonbridge.h"|of the console layer, from the controllers layer'
    'core/scope/g.cpp|#include "scope/scopedisplay.h"|of the controllers layer, from the core layer'
    'core/scope/h.h|void take(LibUsbDevice \&usb);|names a type of the device layer'
)
for row in "${cases[@]}"; do
    IFS='|' read -r file line reason <<<"$row"
    printf '%s\n' "$line" > "$tree/$file"
    if out=$(run); then
        echo "FAIL: $file ($line) passed the check"; failed=1
    elif ! grep -qF "$reason" <<<"$out"; then
        echo "FAIL: $file ($line) failed without \"$reason\":"; echo "$out"; failed=1
    else
        echo "ok: $file refused ($reason)"
    fi
    rm "$tree/$file"
done
exit $failed
