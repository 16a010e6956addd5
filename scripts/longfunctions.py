#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-only
"""Lists the functions of Velto's own C++ sources (tests left out) longer than
a limit, default 80 lines. A function is a brace block opened outside any
other function whose statement holds a parameter list. Tables of constant
data are functions' kin here too: they show up and are judged by eye.
Usage: scripts/longfunctions.py [limit] [folder]"""
import os
import re
import sys

limit = int(sys.argv[1]) if len(sys.argv) > 1 else 80
top = sys.argv[2] if len(sys.argv) > 2 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
found = 0
for root, dirs, files in os.walk(top):
    dirs[:] = [d for d in dirs if d not in ('tests', '.git') and not d.startswith('build')]
    for name in sorted(files):
        if not name.endswith(('.cpp', '.h')):
            continue
        path = os.path.join(root, name)
        text = open(path, encoding='utf-8', errors='replace').read()
        text = re.sub(r'/\*.*?\*/', lambda m: '\n' * m.group(0).count('\n'), text, flags=re.S)
        stack = []  # (kind, start line)
        statement = ''
        continued = False
        for number, line in enumerate(text.split('\n'), 1):
            # Preprocessor lines, with their continuations, are no code here.
            if continued or line.lstrip().startswith('#'):
                continued = line.rstrip().endswith('\\')
                continue
            code = re.sub(r'//.*', '', line)
            code = re.sub(r"'(\\.|[^'\\])'", "''", code)
            code = re.sub(r'"(\\.|[^"\\])*"', '""', code)
            for ch in code:
                if ch == '{':
                    head = statement.strip()
                    inside_function = any(kind == 'function' for kind, _ in stack)
                    if re.match(r'^(namespace|extern)\b', head):
                        kind = 'namespace'
                    elif re.match(r'^(template\s*<.*>\s*)?(class|struct|union|enum)\b', head) and '(' not in head:
                        kind = 'type'
                    elif not inside_function and '(' in head and not head.endswith('='):
                        kind = 'function'
                    else:
                        kind = 'block'
                    stack.append((kind, number))
                    statement = ''
                elif ch == '}':
                    if stack:
                        kind, start = stack.pop()
                        if kind == 'function' and number - start + 1 > limit:
                            found += 1
                            print(f'{os.path.relpath(path, top)}:{start}: {number - start + 1} lines')
                    statement = ''
                elif ch == ';':
                    statement = ''
                else:
                    statement += ch
            statement += ' '
print(f'{found} function(s) longer than {limit} lines')
