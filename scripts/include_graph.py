#!/usr/bin/env python3
"""Prints which folders of src/ include which, top layer first, and fails on an include cycle.

A cycle is refused between folders and between files, where a header and the source file of the
same name count as one file: two files that include each other's headers call each other, so
neither can be read or changed on its own.

    scripts/include_graph.py [--files] [SRC]

--files also prints the file-level graph. Only quoted includes that name a file under SRC count;
system and library headers are outside the layering. Exit status 1 on a cycle, 2 on bad usage.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")


def unit_of(path):
    """The file unit of a path relative to src: its folder and name without the suffix."""
    return os.path.splitext(path)[0].replace(os.sep, "/")


def folder_of(unit):
    return unit.split("/", 1)[0] if "/" in unit else "."


def read_edges(src):
    """{unit: {included unit: [(including file, included header)]}} for every unit under src."""
    edges = {}
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            unit = unit_of(relative)
            targets = edges.setdefault(unit, {})
            with open(path, encoding="utf-8", errors="replace") as handle:
                text = handle.read()
            for included in INCLUDE.findall(text):
                if not os.path.isfile(os.path.join(src, included)):
                    continue
                target = unit_of(included)
                if target != unit:
                    targets.setdefault(target, []).append((relative, included))
    return edges


def strongly_connected(nodes, successors):
    """Tarjan's components, each a sorted list; iterative, so no graph depth reaches Python's limit."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    components = []
    counter = 0
    for root in sorted(nodes):
        if root in index:
            continue
        work = [(root, iter(sorted(successors.get(root, ()))))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(successors.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                components.append(sorted(component))
    return components


def layered(nodes, successors):
    """Nodes ordered so that every node comes before the nodes it includes (cycles left in place)."""
    depth = {}

    def height(node, seen):
        if node in depth:
            return depth[node]
        if node in seen:
            return 0
        seen.add(node)
        below = [height(child, seen) for child in successors.get(node, ()) if child != node]
        seen.discard(node)
        depth[node] = 1 + max(below, default=0)
        return depth[node]

    for node in nodes:
        height(node, set())
    return sorted(nodes, key=lambda node: (-depth[node], node))


def main(arguments):
    show_files = "--files" in arguments
    rest = [a for a in arguments if a != "--files"]
    if len(rest) > 1 or any(a.startswith("-") for a in rest):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    if not os.path.isdir(src):
        print(f"no source folder: {src}", file=sys.stderr)
        return 2

    unit_edges = read_edges(src)
    folder_edges = {}
    for unit, targets in unit_edges.items():
        source_folder = folder_of(unit)
        folder_edges.setdefault(source_folder, {})
        for target, why in targets.items():
            target_folder = folder_of(target)
            if target_folder != source_folder:
                folder_edges[source_folder].setdefault(target_folder, []).extend(why)

    print(f"Folders under {os.path.basename(os.path.normpath(src))}/, each above the folders it includes:")
    for folder in layered(folder_edges, folder_edges):
        below = ", ".join(sorted(folder_edges[folder])) or "-"
        print(f"  {folder:<11} -> {below}")
    if show_files:
        print("Files (a header and the source of its name count as one):")
        for unit in layered(unit_edges, unit_edges):
            print(f"  {unit:<28} -> {', '.join(sorted(unit_edges[unit])) or '-'}")

    failures = []
    for kind, edges in (("folders", folder_edges), ("files", unit_edges)):
        for component in strongly_connected(edges, edges):
            if len(component) < 2:
                continue
            members = set(component)
            reasons = sorted(
                f"{including} includes {included}"
                for node in component
                for target, why in edges[node].items()
                if target in members
                for including, included in why
            )
            failures.append(f"include cycle between {kind} {', '.join(component)}:\n    " + "\n    ".join(reasons))
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
