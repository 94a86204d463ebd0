#!/usr/bin/env python3
"""Lists the writable variables of static storage in the project's libraries and checks them
against the list of state that is process-wide on purpose (process-state.txt beside this file).

Everything else of the simulated device lives in its device environment; a new namespace-scope or
function-local static that can change fails this check until it moves there or is listed, with its
reason, in process-state.txt.

Usage: process_state.py BUILD_DIR [--list]   (--list prints what it finds, for updating the list)
"""
import pathlib
import re
import subprocess
import sys

# Symbols the compiler and the libraries we use make, not state of ours.
IGNORED = re.compile(
    r"^(guard variable for |vtable for |typeinfo for |typeinfo name for |DW\.ref\.|__tls_guard|"
    r"CLI::|std::__ioinit|__gthread|_GLOBAL__|nlohmann::|httplib::|_*(asan|tsan|ubsan|sancov)_)"
)
# Constants of ours are named kSomething; they land in writable sections when their initialiser
# runs at start-up (a table of strings), but nothing writes them afterwards.
SYMBOL = re.compile(r"^[0-9a-f]+ ([a-zA-Z]) (.*)$")
CONSTANT = re.compile(r"(^|::)k[A-Z]\w*$")


def variables(build_dir):
    found = set()
    for lib in sorted(pathlib.Path(build_dir, "src").rglob("liborbitchat_*.a")):
        out = subprocess.run(["nm", "-C", str(lib)], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            m = SYMBOL.match(line)
            if not m or m.group(1) not in "bBdD":
                continue
            name = m.group(2)
            if IGNORED.search(name) or CONSTANT.search(name):
                continue
            # Names of anonymous namespaces and ABI tags are noise for a reader of the list.
            name = name.replace("(anonymous namespace)::", "").replace("[abi:cxx11]", "")
            # One slot number per part type of the device environment: the same entry for all.
            name = re.sub(r"^DeviceEnvironment::slotOf<.*>\(\)::slot$", "DeviceEnvironment::slotOf<T>()::slot", name)
            found.add(name)
    return found


def allowed(list_file):
    names = {}
    for line in list_file.read_text().splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        name, _, reason = line.partition("  # ")
        names[name.strip()] = reason.strip()
    return names


def main():
    build_dir = sys.argv[1]
    found = variables(build_dir)
    if "--list" in sys.argv:
        print("\n".join(sorted(found)))
        return 0
    listed = allowed(pathlib.Path(__file__).with_name("process-state.txt"))
    unlisted = sorted(found - listed.keys())
    gone = sorted(listed.keys() - found)
    for name in unlisted:
        print(f"process-wide state not in the list: {name}")
    for name in gone:
        print(f"listed but no longer in the libraries (remove it from the list): {name}")
    print(f"{len(found)} process-wide variables, all listed" if not unlisted and not gone else "")
    return 1 if unlisted or gone else 0


if __name__ == "__main__":
    sys.exit(main())
