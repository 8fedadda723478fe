#!/usr/bin/env python3
"""Checks the shape of the source tree.

  check_layers.py SRC_DIR

- The core library (the sources listed under quarvel_core in the CMakeLists.txt files) never
  includes, directly or through a project header, a header of widgets/ or platform/, nor a
  Qt Widgets header: the core never shows anything.
- The data layer (db/) and the plain values (common/) include no other folder of the project.
- The widgets (widgets/) include nothing of the project but the plain values: no database.
- Only the data layer includes the engine's own header <sqlite3.h> or reaches past Query to the
  driver's statement (<QSqlQuery>, Query::raw()): results are read by column names or by the
  enums of column tables, never by a number.
- No two folders include each other, directly or round a longer cycle.
Exits 1 and names the offending includes when any rule is broken.
"""
import os
import re
import sys
from collections import defaultdict

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
WIDGET_HEADER = re.compile(r'^(QtWidgets/|Q(Widget|MainWindow|Dialog|MessageBox|LineEdit|TreeView|TableView|'
                           r'Application|PushButton|Label|MdiArea|MdiSubWindow|StatusBar|ProgressDialog|'
                           r'FileDialog|ComboBox|CheckBox|ListWidget|TreeWidget|Menu|Action|Layout|'
                           r'HBoxLayout|VBoxLayout|GridLayout|Frame|ScrollArea|Splitter)\b)')
RAW = re.compile(r'[.>]raw\(\)')
SOURCES = re.compile(r'target_sources\(\s*quarvel_core\s+PRIVATE([^)]*)\)', re.S)


def folder_of(rel):
    parts = rel.split('/')
    return parts[0] if len(parts) > 1 else '.'


def main(src):
    src = os.path.abspath(src)
    files = {}
    for dp, _, fns in os.walk(src):
        for fn in fns:
            if fn.endswith(('.h', '.cpp')):
                p = os.path.join(dp, fn)
                files[os.path.relpath(p, src)] = open(p, encoding='utf-8', errors='replace').read()

    def project_includes(rel):
        for kind, target in INCLUDE.findall(files[rel]):
            if kind == '"' and target in files:
                yield target

    failures = []

    core = set()
    for dp, _, fns in os.walk(src):
        if 'CMakeLists.txt' in fns:
            text = open(os.path.join(dp, 'CMakeLists.txt'), encoding='utf-8').read()
            for block in SOURCES.findall(text):
                for name in block.split():
                    rel = os.path.relpath(os.path.join(dp, name), src)
                    if rel in files:
                        core.add(rel)
    for start in sorted(core):
        seen, stack = set(), [(start, [start])]
        while stack:
            rel, path = stack.pop()
            if rel in seen:
                continue
            seen.add(rel)
            for kind, target in INCLUDE.findall(files[rel]):
                if kind == '<' and WIDGET_HEADER.match(target):
                    failures.append(f'core {" -> ".join(path)} includes <{target}>')
                elif kind == '"' and target in files:
                    if folder_of(target) in ('widgets', 'platform'):
                        failures.append(f'core {" -> ".join(path)} includes "{target}"')
                    else:
                        stack.append((target, path + [target]))

    edges = defaultdict(set)
    for rel in files:
        for target in project_includes(rel):
            if folder_of(target) != folder_of(rel):
                edges[folder_of(rel)].add(folder_of(target))
    for target in sorted(edges.get('db', ())):
        failures.append(f'the data layer db/ includes {target}/')
    for target in sorted(edges.get('common', ())):
        failures.append(f'the plain values common/ include {target}/')
    for target in sorted(edges.get('widgets', set()) - {'common'}):
        failures.append(f'the widgets include {target}/')
    for rel in sorted(files):
        if folder_of(rel) == 'db':
            continue
        for kind, target in INCLUDE.findall(files[rel]):
            if kind == '<' and target in ('sqlite3.h', 'QSqlQuery', 'QtSql/QSqlQuery'):
                failures.append(f'{rel} includes <{target}>, which only the data layer may')
        if RAW.search(files[rel]):
            failures.append(f'{rel} reaches the driver\'s statement through raw(), which only the data layer may')

    # Folder cycles (Tarjan's strongly connected components).
    index, low, on, stack, comps, counter = {}, {}, set(), [], [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on.discard(w)
                comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                comps.append(sorted(comp))

    for v in sorted(set(edges) | {w for ws in edges.values() for w in ws}):
        if v not in index:
            visit(v)
    for comp in comps:
        detail = [f'{a}->{b}' for a in comp for b in sorted(edges[a]) if b in comp]
        failures.append('folders include each other: ' + ', '.join(detail))

    for folder in sorted(edges):
        print(f'{folder} -> {", ".join(sorted(edges[folder]))}')
    for f in failures:
        print('FAIL', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else 'src'))
