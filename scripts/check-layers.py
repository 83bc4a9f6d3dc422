#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that includes between the source folders point one way.

    base  <-  <subsystem>/core  <-  widgets  <-  <subsystem>/gui  <-  app

- base includes nothing outside base.
- A subsystem core includes base and the cores of the subsystems below it
  (SUBSYSTEM_DEPS, the same list cmake/NxLayers.cmake is given).
- widgets includes base only.
- A subsystem gui includes base, widgets and any core (all lie below it);
  never another subsystem's windows.
- app/AppContext and app/cli (the command-line tool) include no windows.
- app/gui may include everything.

Prints the folder-level include graph, then every offending include, and
exits 1 when there is one or when the graph has a cycle.
"""
import os
import re
import sys

SUBSYSTEM_DEPS = {
    "coverage": ["config"],
    "config": [],
    "history": ["config", "coverage"],
    "link": ["config", "coverage", "history"],
    "diagnostics": ["link", "config"],
    "options": ["config"],
    "testpackets": [],
    "monitor": ["config", "coverage", "history", "testpackets"],
}


def closure(sub):
    seen = set()
    todo = list(SUBSYSTEM_DEPS[sub])
    while todo:
        d = todo.pop()
        if d not in seen:
            seen.add(d)
            todo.extend(SUBSYSTEM_DEPS[d])
    return seen


def folder_of(rel):
    """'link/core/Transfer.h' -> 'link/core'; 'app/gui/NX4400C.cpp' -> 'app/gui'."""
    parts = rel.split("/")
    if parts[0] in ("base", "widgets"):
        return parts[0]
    if parts[0] == "app":
        return "app/" + parts[1] if len(parts) > 2 else "app/context"
    return "/".join(parts[:2])


def allowed(src, dst):
    if src == dst:
        return True
    if src == "base":
        return False
    if dst == "base":
        return True
    sub, _, kind = src.partition("/")
    if src == "widgets":
        return False
    if sub in SUBSYSTEM_DEPS and kind == "core":
        dsub, _, dkind = dst.partition("/")
        return dkind == "core" and dsub in closure(sub)
    if sub in SUBSYSTEM_DEPS and kind == "gui":
        dsub, _, dkind = dst.partition("/")
        return dst == "widgets" or dkind == "core"
    if src in ("app/context", "app/cli"):
        return dst.endswith("/core") or dst in ("app/context",)
    if src == "app/gui":
        return True
    return False


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    root = os.path.normpath(root)
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
    edges = {}
    offences = []
    for dirpath, _, files in os.walk(root):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            src = folder_of(rel)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = include.match(line)
                    if not m or not os.path.exists(os.path.join(root, m.group(1))):
                        continue
                    dst = folder_of(m.group(1))
                    if dst != src:
                        edges.setdefault(src, set()).add(dst)
                    if not allowed(src, dst):
                        offences.append(f"src/{rel}:{number}: {src} may not include {m.group(1)} ({dst})")

    print("Folder-level include graph (folder -> folders it includes):")
    for src in sorted(edges):
        print(f"  {src:18} -> {', '.join(sorted(edges[src]))}")
    print("Allowed: base <- <subsystem>/core <- widgets <- <subsystem>/gui <- app/gui;")
    print("         a gui never includes another subsystem's gui;")
    print("         app/context and app/cli use cores only; cores use the cores below them:")
    for sub, deps in SUBSYSTEM_DEPS.items():
        print(f"           {sub}/core -> {', '.join(deps) if deps else '(base only)'}")

    # A cycle between folders: depth-first search over the graph.
    state = {}
    cycle = []

    def visit(node, stack):
        state[node] = 1
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                cycle.append(" -> ".join(stack[stack.index(nxt):] + [nxt]) if nxt in stack else f"{node} -> {nxt}")
            elif not state.get(nxt):
                visit(nxt, stack + [nxt])
        state[node] = 2

    for node in sorted(edges):
        if not state.get(node):
            visit(node, [node])

    for o in offences:
        print("LAYER VIOLATION " + o)
    for c in cycle:
        print("CYCLE " + c)
    if offences or cycle:
        return 1
    print("Layers are one-way: no violation, no cycle.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
