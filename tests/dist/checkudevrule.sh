#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-only
# Checks the instrument's udev rule: with `udevadm verify` where this udev has
# it, and always by reading it: every line a list of KEY op "value" pairs with
# known keys and operators, the rule matching the instrument and tagging it
# for the seat's user, and a file number that comes before the uaccess rules.
set -euo pipefail
rule=$1
if udevadm verify --help >/dev/null 2>&1; then
    udevadm verify "$rule"
else
    echo "udevadm verify is not available here; checking the syntax only"
fi
python3 - "$rule" <<'PY'
import os, re, sys
path = sys.argv[1]
pair = re.compile(r'\s*([A-Z_]+)(\{[^}]+\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$)')
match_keys = {"SUBSYSTEM", "SUBSYSTEMS", "ACTION", "ATTR", "ATTRS", "ENV", "KERNEL", "DRIVER"}
assign_keys = {"TAG", "MODE", "GROUP", "OWNER", "SYMLINK", "ENV"}
found = {}
for number, line in enumerate(open(path), 1):
    line = line.strip()
    if not line or line.startswith("#"):
        continue
    at = 0
    while at < len(line):
        m = pair.match(line, at)
        if not m:
            sys.exit(f"{path}:{number}: cannot read from column {at + 1}: {line[at:]}")
        key, attr, op, value = m.group(1), m.group(2) or "", m.group(3), m.group(4)
        ok = (key in match_keys and op in ("==", "!=")) or (key in assign_keys and op in ("=", "+=", "-=", ":="))
        if not ok:
            sys.exit(f"{path}:{number}: {key}{attr}{op} is not a known match or assignment")
        found[key + attr + op] = value
        at = m.end()
want = {'SUBSYSTEM==': "usb", 'ATTR{idVendor}==': "1d50", 'ATTR{idProduct}==': "60eb", 'TAG+=': "uaccess"}
for key, value in want.items():
    if found.get(key) != value:
        sys.exit(f"{path}: wants {key}\"{value}\", has {found.get(key)!r}")
if int(os.path.basename(path).split("-")[0]) >= 73:
    sys.exit(f"{path}: uaccess tags must come before 73-seat-late.rules")
print(f"{path}: syntax and instrument match good")
PY
