#!/usr/bin/python3
"""Fails when a source file includes a header from a higher floor, or when two modules include
each other's headers.

Floors, lowest first: res/, core/, providers/, then views/, actions/ and settings/ (one floor),
then app/. A file may include its own floor and those below. tests/ and bench/ are not checked.
Usage: check_floors.py [ROOT] (default: this repository) | check_floors.py --self-test"""
import os
import re
import sys
import tempfile

FLOORS = {"res": 0, "core": 1, "providers": 2, "views": 3, "actions": 3, "settings": 3, "app": 4}
# Quoted includes are looked up beside the including file, then in these (CMakeLists.txt).
INCLUDE_DIRS = ["", "res"]
# Bare names that reach res/ through its include directory, also when the file is missing.
RES_NAMES = re.compile(r"^(resource\.h|version\.h|dialogs/.+\.h)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def source_files(root):
    for top in sorted(FLOORS):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def resolve(root, source, name):
    """The included file as a path from the root, or None when it is outside the floors."""
    for base in [os.path.dirname(source)] + INCLUDE_DIRS:
        path = os.path.normpath(os.path.join(base, name)).replace(os.sep, "/")
        if os.path.isfile(os.path.join(root, path)):
            return path if path.split("/")[0] in FLOORS else None
    if RES_NAMES.match(name):
        return "res/" + name
    return name if name.split("/")[0] in FLOORS else None


def includes(root, source):
    with open(os.path.join(root, source), encoding="latin-1") as text:
        for number, line in enumerate(text, 1):
            match = INCLUDE.match(line)
            if match:
                yield number, resolve(root, source, match.group(1))


def floor(path):
    return FLOORS[path.split("/")[0]]


def check(root):
    """The number of files read and the faults found, one line each."""
    faults = []
    needs = {}  # (module, module of an included header) -> first "file:line"
    files = list(source_files(root))
    for source in files:
        module = os.path.splitext(source)[0]
        for number, target in includes(root, source):
            if target is None:
                continue
            if floor(target) > floor(source):
                faults.append("%s:%d: includes %s, a higher floor (%s/ above %s/)" %
                              (source, number, target, target.split("/")[0], source.split("/")[0]))
            other = os.path.splitext(target)[0]
            if target.endswith(".h") and other != module:
                needs.setdefault((module, other), "%s:%d" % (source, number))
    for (a, b), where in sorted(needs.items()):
        if a < b and (b, a) in needs:
            faults.append("%s: includes %s.h, and %s: includes %s.h (%s and %s need each other)" %
                          (where, b, needs[(b, a)], a, a, b))
    return len(files), faults


def main(root):
    count, faults = check(root)
    if not count:
        print("floors: no .cpp or .h file under the floors of %s" % root)
        return 1
    for fault in faults:
        print(fault)
    print("floors: %d files, %d faults" % (count, len(faults)))
    return 1 if faults else 0


def plant(root, files):
    for path, lines in files.items():
        os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
        with open(os.path.join(root, path), "w") as out:
            out.writelines('#include "%s"\n' % name for name in lines)


CLEAN = {
    "res/resource.h": ["dialogs/about.h"], "res/dialogs/about.h": [],
    "core/list.h": ["resource.h"], "core/list.cpp": ["core/list.h", "dialogs/about.h"],
    "providers/fill.cpp": ["core/list.h", "version.h"], "views/one.h": [],
    "views/one.cpp": ["views/one.h", "actions/kill.h", "settings/options.h"],
    "actions/kill.h": [], "actions/kill.cpp": ["actions/kill.h", "settings/options.h"],
    "settings/options.h": [],
    "app/mainwnd.h": ["core/list.h"], "app/mainwnd.cpp": ["app/mainwnd.h", "views/one.h"],
    "tests/test_list.cpp": ["app/mainwnd.h"],
}
FAULTY = dict(CLEAN, **{
    "core/bad.cpp": ["core/list.h", "app/mainwnd.h"],
    "views/two.h": [], "views/two.cpp": ["views/two.h", "views/one.h"],
    "views/one.cpp": CLEAN["views/one.cpp"] + ["views/two.h"],
})


def self_test():
    with tempfile.TemporaryDirectory() as clean, tempfile.TemporaryDirectory() as faulty:
        plant(clean, CLEAN)
        plant(faulty, FAULTY)
        count, faults = check(clean)
        assert (count, faults) == (12, []), (count, faults)
        count, faults = check(faulty)
        assert count == 15 and len(faults) == 2, (count, faults)
        assert faults[0].startswith("core/bad.cpp:2: includes app/mainwnd.h,"), faults
        pair = "views/one.cpp:4: includes views/two.h, and views/two.cpp:2: includes views/one.h"
        assert faults[1].startswith(pair), faults
    print("floors self-test: a clean tree passes, a floor fault and a pair are found")
    return 0


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    if len(sys.argv) > 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1] if len(sys.argv) == 2 else
                  os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")))
