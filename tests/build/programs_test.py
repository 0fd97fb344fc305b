#!/usr/bin/env python3
"""Every program the project's shell scripts run comes from a package that
tools/packages.txt lists, from a package those depend on, or from Debian's
essential set: so a fresh machine that installs the list has each of them.

The scripts are read by shfmt's parser (its syntax tree as JSON): a command
is the first word of each simple command, past the wrappers that run another
(exec, env, timeout, xargs, sudo and the like). Each check is one program.
    programs_test.py SOURCE_DIR
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys

top = sys.argv[1]
SCRIPTS = ["dev", ".ci/run", "cmake/compile"] + [
    "tools/" + name for name in ("dev-lib.sh", "build", "test", "bench", "release", "pictures", "deps", "wine-run", "fresh-root")] + sorted(
    os.path.relpath(p, top) for p in glob.glob(os.path.join(top, "tests/**/*.sh"), recursive=True))
# Programs that run another as an argument: their options that take a value,
# and how many operands come before the program (timeout's duration,
# chroot's root, flock's lock).
WRAPPERS = {"exec": (set(), 0), "command": (set(), 0), "env": ({"-u"}, 0), "timeout": ({"-s", "-k"}, 1),
            "xargs": ({"-n", "-I", "-d", "-P"}, 0), "sudo": ({"-u"}, 0), "nice": ({"-n"}, 0), "setsid": (set(), 0),
            "nohup": (set(), 0), "stdbuf": ({"-o", "-e", "-i"}, 0), "chroot": (set(), 1), "flock": ({"-w"}, 1),
            "unshare": (set(), 0)}


def literal(word):
    """A word's text if it is all literal (quotes allowed), else None."""
    out = []
    for part in word.get("Parts", []):
        kind = part.get("Type")
        if kind == "Lit":
            out.append(part["Value"])
        elif kind in ("SglQuoted", "DblQuoted"):
            inner = [literal({"Parts": [p]}) for p in part.get("Parts", [])] if kind == "DblQuoted" else [part.get("Value", "")]
            if any(i is None for i in inner):
                return None
            out.extend(inner)
        else:
            return None
    return "".join(out)


def past_wrapper(args, i, takes_value, operands):
    """The index of the program a wrapper runs: past its options, variables and operands."""
    while i < len(args):
        word = literal(args[i]) or ""
        if word in takes_value:
            i += 2
        elif word.startswith("-") or re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*=.*", word):
            i += 1
        else:
            break
    return i + operands


def commands(path):
    """(name, line) of every simple command's program, and the functions the script defines."""
    tree = json.loads(subprocess.run(["shfmt", "--to-json", "-ln", "bash"], stdin=open(path, "rb"),
                                     capture_output=True, check=True).stdout)
    found, functions = [], set()

    def walk(node):
        if isinstance(node, list):
            for n in node:
                walk(n)
            return
        if not isinstance(node, dict):
            return
        if node.get("Type") == "FuncDecl":
            functions.add(node["Name"]["Value"])
        if node.get("Type") == "CallExpr" and node.get("Args"):
            args = node["Args"]
            i = 0
            while i < len(args):
                name = literal(args[i])
                if name is None:
                    # "$sudo apt-get ...": an empty-or-wrapper variable before the program
                    parts = args[i].get("Parts", [])
                    if len(parts) == 1 and parts[0].get("Type") == "ParamExp" and parts[0]["Param"]["Value"] == "sudo":
                        i += 1
                        continue
                    break
                if name in WRAPPERS:
                    i = past_wrapper(args, i + 1, *WRAPPERS[name])
                    continue
                found.append((name, args[i]["Pos"]["Line"]))
                break
        for value in node.values():
            walk(value)

    walk(tree)
    return found, functions


def shell_words():
    out = subprocess.run(["bash", "-c", "compgen -b; compgen -k"], capture_output=True, text=True, check=True).stdout
    return set(out.split())


def owner(path):
    """The package that installed a file, trying the /bin spelling of a merged /usr too."""
    candidates = [path]
    if path.startswith("/usr/bin/") or path.startswith("/usr/sbin/"):
        candidates.append(path[4:])
    for c in candidates:
        r = subprocess.run(["dpkg", "-S", c], capture_output=True, text=True)
        if r.returncode == 0:
            return r.stdout.split(":")[0].split(",")[0].strip()
    return None


def listed_packages():
    names = []
    for line in open(os.path.join(top, "tools/packages.txt"), encoding="utf-8"):
        line = line.strip()
        if line and not line.startswith("#"):
            names.append(line.split()[0])
    return names


def closure(packages):
    """The packages and all they depend on (not what they recommend), by name without the architecture."""
    out = subprocess.run(["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests", "--no-conflicts",
                          "--no-breaks", "--no-replaces", "--no-enhances"] + packages,
                         capture_output=True, text=True).stdout
    return {re.sub(r":.*", "", l.strip().strip("<>").split(": ")[-1]) for l in out.splitlines() if l.strip()}


def essential():
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${Essential}\t${Priority}\n"],
                         capture_output=True, text=True).stdout
    return {f[0] for f in (l.split("\t") for l in out.splitlines()) if len(f) == 3 and (f[1] == "yes" or f[2] == "required")}


passed = failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAIL " + what)


runs, defined = {}, set()
for script in SCRIPTS:
    path = os.path.join(top, script)
    if not os.path.exists(path):
        continue
    found, functions = commands(path)
    defined |= functions
    for name, line in found:
        runs.setdefault(name, f"{script}:{line}")
builtins = shell_words()
listed = listed_packages()
allowed = closure(listed) | essential()
external = sorted(n for n in runs if n not in builtins and n not in defined and "/" not in n and n not in ("[", "[["))
check(len(external) > 30, f"the scripts' programs were found ({len(external)}: the parser's output changed?)")
for name in external:
    where = shutil.which(name, path="/usr/sbin:/usr/bin:/sbin:/bin")  # where packages put programs
    if where is None:
        check(False, f"{runs[name]} runs {name}, which no installed package provides: add its package to tools/packages.txt")
        continue
    package = owner(os.path.realpath(where)) or owner(where)
    check(package in allowed,
          f"{runs[name]} runs {name}, from {package or 'no package'}, which tools/packages.txt neither lists nor pulls in")
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
