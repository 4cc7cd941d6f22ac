#!/usr/bin/env python3
"""Fails on an #include that points up the program's layers, on one that lets the backup engine
see the window, and on headers that include each other.

The layers, lowest first: azip32 (the archiving library, on its own), platform, backup, about,
app. A file may include its own layer and the layers below it. Each layer's
win32/ folder stands just above its portable part: it may include that part, the layers
below and their win32/ folders, while portable code never includes a win32/ header. Tests,
benches and tools stand above everything and are not checked.

The backup engine gets a file system, an archiver and a progress control: a backup/ file
never includes the services bag (with its message boxes) or the control models, and the
command line (no window) never includes the control models either. Every source file has its
home in a layer, or among the tests and benches. And no two headers of the program include
each other, directly or through others.

  scripts/check_layers.py [ROOT]     exit 0 when every include points down or sideways,
                                     else 1 with one line for each that points up
"""
import os
import re
import subprocess
import sys

LAYERS = ["azip32", "platform", "backup", "about", "app"]
# What the engine must not see: the window's services (message boxes among them) and controls.
ENGINE_FORBIDDEN = {"platform/services.h", "platform/controls.h", "platform/win32/win32_dialogs.h"}
OUTSIDE_LAYERS = ["tests", "bench"]
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.M)


def place(path):
    """(layer rank, is win32) of a file or included header, or None outside the layers."""
    parts = path.replace("\\", "/").split("/")
    if parts[0] not in LAYERS:
        return None
    return LAYERS.index(parts[0]), len(parts) > 2 and parts[1] == "win32"


def allowed(source, target):
    (s_rank, s_win32), (t_rank, t_win32) = source, target
    if s_rank == 0:
        return t_rank == 0  # the archiving library uses nothing of the program's
    if t_win32 and not s_win32:
        return False
    return t_rank <= s_rank


def violations(root, files):
    found = []
    for name in files:
        source = place(name)
        if source is None:
            if name.split("/")[0] not in OUTSIDE_LAYERS:
                found.append(f"{name}: lies in no layer")
            continue
        with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for line_no, match in ((text.count("\n", 0, m.start()) + 1, m)
                               for m in INCLUDE.finditer(text)):
            target = place(match.group(1))
            if target is not None and not allowed(source, target):
                found.append(f"{name}:{line_no}: includes {match.group(1)}, a layer above it")
            elif name.startswith("backup/") and match.group(1) in ENGINE_FORBIDDEN:
                found.append(f"{name}:{line_no}: includes {match.group(1)}, which the backup "
                             "engine must not see")
            elif "command_line" in name and match.group(1) == "platform/controls.h":
                found.append(f"{name}:{line_no}: includes {match.group(1)}, which the command "
                             "line has no use for")
    return found


def include_loops(root, files):
    """Each cycle of headers including headers, as "a.h -> b.h -> a.h", once."""
    graph = {}
    for name in files:
        if name.endswith(".h") and place(name) is not None:
            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                graph[name] = [m.group(1) for m in INCLUDE.finditer(f.read())]
    loops, state = [], {}

    def visit(node, path):
        state[node] = "open"
        for nxt in graph.get(node, []):
            if state.get(nxt) == "open":
                loop = path[path.index(nxt):] + [nxt]
                loops.append(" -> ".join(loop) + ": headers that include each other")
            elif nxt in graph and nxt not in state:
                visit(nxt, path + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    return loops


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=root, check=True,
                           capture_output=True, text=True).stdout.split()
    found = violations(root, files) + include_loops(root, files)
    for line in found:
        print(line)
    if found:
        print(f"layers: {len(found)} includes point up, or let the engine see the window, or loop")
        return 1
    print(f"layers: every include of {len(files)} files points down or sideways")
    return 0


if __name__ == "__main__":
    sys.exit(main())
