#!/usr/bin/env python3
"""The include graph of the product code, and its cycles.

Reads every `#include "..."` line of the product folders, resolves each name to
the one file of that name in them, and joins a header with the source file of
the same name into one module (Foo.h + Foo.cpp). A cycle among modules is two
or more modules that reach one another through their includes; a folder edge
is one module of a folder including a module of another.

    tools/include-graph.py            print the module cycles and the folder graph
    tools/include-graph.py --check    print only faults; exit 1 on a module cycle,
                                      a folder cycle or a name that resolves twice
"""
import os
import re
import sys

FOLDERS = ["common", "plugin/frame/binding", "plugin/frame", "plugin/selective", "plugin/digest", "plugin/resources",
           "settings/files", "settings/sheet", "settings/resources", "host"]
SUFFIXES = (".h", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def read_tree(root):
    files = {}  # relative path -> folder
    names = {}  # file name -> [relative paths]
    for folder in FOLDERS:
        for entry in sorted(os.listdir(os.path.join(root, folder))):
            if entry.endswith(SUFFIXES):
                path = folder + "/" + entry
                files[path] = folder
                names.setdefault(entry, []).append(path)
    return files, names


def module_of(path):
    stem, ext = os.path.splitext(path)
    return stem if ext in (".h", ".cpp") else path


def strongly_connected(graph):
    """Tarjan's algorithm, iterative; returns the components with more than one node."""
    index, low, on_stack, stack, result = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    result.append(sorted(component))
    return result


def main():
    check = "--check" in sys.argv[1:]
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files, names = read_tree(root)
    faults = []

    modules, folders = {}, {folder: set() for folder in FOLDERS}
    for path in files:
        modules.setdefault(module_of(path), set())
    for path, folder in sorted(files.items()):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for name in INCLUDE.findall(text):
            targets = names.get(os.path.basename(name))
            if not targets:
                continue  # a system or generated header
            # The including file's own folder comes first, as with the compiler;
            # elsewhere a name must be unique, or the graph would be a guess.
            local = folder + "/" + os.path.basename(name)
            if local in targets:
                target = local
            elif len(targets) == 1:
                target = targets[0]
            else:
                faults.append("%s includes %s, found in %s" % (path, name, ", ".join(targets)))
                continue
            if module_of(target) != module_of(path):
                modules[module_of(path)].add(module_of(target))
            if files[target] != folder:
                folders[folder].add(files[target])

    module_cycles = strongly_connected(modules)
    folder_cycles = strongly_connected(folders)
    for cycle in module_cycles:
        faults.append("module cycle: " + " <-> ".join(cycle))
    for cycle in folder_cycles:
        faults.append("folder cycle: " + " <-> ".join(cycle))

    if not check:
        print("folders and the folders they include from:")
        for folder in FOLDERS:
            print("  %-20s %s" % (folder, ", ".join(sorted(folders[folder])) or "-"))
        print("module cycles: %d, folder cycles: %d" % (len(module_cycles), len(folder_cycles)))
    for fault in faults:
        print(fault)
    return 1 if check and faults else 0


if __name__ == "__main__":
    sys.exit(main())
