#!/usr/bin/env python3
"""Checks that the product's layers point one way.

Each product folder is a layer with a rank. A file may include, and a library target may link,
only its own folder or a folder of a lower rank; folders of the same rank stand beside each
other and know nothing of each other. Inside a folder no two files may include each other, however
indirectly. Prints every breach and exits 1 when there is one.

    scripts/check-layers.py [ROOT]
"""
import os
import re
import sys

# Lowest first. What a folder may use is everything ranked below it.
LAYER_RANKS = {
    "classlib": 0,   # the class layer over Win32 and the C++ library
    "record": 1,     # the record document and the version file loader
    "install": 2,    # patch layout, copy and version stamp
    "toolchain": 2,  # the registry's EWARM records
    "listview": 2,   # the check-box list control
    "app": 3,        # the program: application, dialog, install run
    "cli": 3,        # the console program qx48patch
}
SOURCE_ENDINGS = (".h", ".cpp", ".c", ".h.in", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
TARGET = re.compile(r"add_(?:library|executable)\(\s*(qx48_\w+|QX48_\w+)")
LINKS = re.compile(r"target_link_libraries\(\s*(\w+)([^)]*)\)", re.DOTALL)


def product_files(root):
    for folder in LAYER_RANKS:
        for base, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                yield os.path.join(base, name)


def folder_of(root, path):
    return os.path.relpath(path, root).split(os.sep)[0]


def resolve(root, including_file, name):
    """The file an include names: next to the including file first, then from the root."""
    for candidate in (os.path.join(os.path.dirname(including_file), name), os.path.join(root, name)):
        if os.path.isfile(candidate):
            return os.path.normpath(candidate)
    return None


def unit(path):
    """A header and its source file are one unit: Wnd.h and Wnd.cpp stand or fall together."""
    for ending in (".h.in", ".h", ".cpp", ".c"):
        if path.endswith(ending):
            return path[: -len(ending)]
    return path


def may_use(user, used):
    return user == used or LAYER_RANKS[used] < LAYER_RANKS[user]


def circles(edges):
    """The graph's circles: each strongly connected set of more than one node, sorted."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(edges.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            members = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                members.append(member)
                if member == node:
                    break
            if len(members) > 1:
                found.append(sorted(members))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return sorted(found)


def check_includes(root, breaches):
    unit_edges = {}
    for path in product_files(root):
        if not path.endswith(SOURCE_ENDINGS):
            continue
        user = folder_of(root, path)
        with open(path, encoding="utf-8", errors="replace") as source:
            text = source.read()
        for name in INCLUDE.findall(text):
            target = resolve(root, path, name)
            if target is None:
                continue  # generated at build time, or a system header in quotes
            used = folder_of(root, target)
            if used not in LAYER_RANKS:
                breaches.append(f"{os.path.relpath(path, root)} includes {name}, outside the product")
            elif not may_use(user, used):
                breaches.append(f"{os.path.relpath(path, root)} ({user}) includes {name} ({used})")
            if unit(target) != unit(path):
                unit_edges.setdefault(unit(path), set()).add(unit(target))
    for circle in circles(unit_edges):
        breaches.append("include circle: " + ", ".join(os.path.relpath(n, root) for n in circle))


def check_links(root, breaches):
    target_folder = {}
    links = []
    for path in product_files(root):
        if not (path.endswith(".cmake") or os.path.basename(path) == "CMakeLists.txt"):
            continue
        with open(path, encoding="utf-8") as script:
            text = script.read()
        for name in TARGET.findall(text):
            target_folder[name] = folder_of(root, path)
        for target, rest in LINKS.findall(text):
            links.extend((target, used) for used in re.findall(r"\b(qx48_\w+)\b", rest))
    edges = {}
    for target, used in links:
        if target not in target_folder or used not in target_folder:
            continue
        user_folder, used_folder = target_folder[target], target_folder[used]
        if not may_use(user_folder, used_folder):
            breaches.append(f"target {target} ({user_folder}) links {used} ({used_folder})")
        edges.setdefault(target, set()).add(used)
    for circle in circles(edges):
        breaches.append("link circle: " + ", ".join(circle))


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    breaches = []
    check_includes(root, breaches)
    check_links(root, breaches)
    for breach in breaches:
        print(breach)
    print(f"layers: {len(breaches)} breach(es)")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
