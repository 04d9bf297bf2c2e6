#!/usr/bin/env python3
"""Checks that the set-up's package list (./dev.sh packages) names everything the build uses.

    scripts/check-setup.py [--dev-sh PATH] SOURCE_DIR BUILD_DIR

Three kinds of use are collected:
  configure  every file a CMake configure of SOURCE_DIR into a scratch folder reads or runs
             (strace -f -e trace=%file), the compiler checks and Qt's package files included,
             and every file its probes find that the generated build names (traced_configure);
  compiler   every header the compiler read for BUILD_DIR's objects (ninja -t deps);
  loader     every shared library the programs in BUILD_DIR/bin load (ldd).
Each such file that belongs to a Debian package must belong to a package of the list's closure
(Depends and Pre-Depends, recursively, on the installed system) or of the base system (Essential
and priority-required packages with their closure). Otherwise the check names the package and the
files that need it, and exits 1. Example: with libmd4c-html0-dev left out of the list, the
configure stats /usr/lib/x86_64-linux-gnu/libmd4c-html.so.0.4.8 (md4c's CMake package names the
HTML renderer) and the programs load libmd4c-html.so.0, so libmd4c-html0 is named: on a fresh
machine the configure stops there.

--dev-sh takes another copy of dev.sh (an edited list, to see the check fail).
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Bookworm's packages still list their files under /lib, /bin and /sbin while the merged /usr
# holds them: ldd says /lib/x86_64-linux-gnu/libc.so.6, dpkg knows /lib/..., and the real path
# is /usr/lib/.... Both sides are compared in the merged form.
MERGED = ("/bin/", "/sbin/", "/lib/", "/lib32/", "/lib64/", "/libx32/")


def merged(path):
    path = os.path.normpath(path)
    return "/usr" + path if path.startswith(MERGED) else path


def read_owners():
    """Every file of every installed package -> the packages that list it (one pass over the
    dpkg database instead of a dpkg -S per file)."""
    owners = {}
    for listing in glob.glob("/var/lib/dpkg/info/*.list"):
        package = os.path.basename(listing)[: -len(".list")].split(":")[0]
        with open(listing, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                owners.setdefault(merged(line.rstrip("\n")), set()).add(package)
    return owners


def split_relation(field):
    """'libc6 (>= 2.34), debconf | debconf-2.0' -> [['libc6'], ['debconf', 'debconf-2.0']]"""
    groups = []
    for group in field.split(","):
        names = [re.split(r"[\s(:\[]", alt.strip(), maxsplit=1)[0] for alt in group.split("|")]
        names = [n for n in names if n]
        if names:
            groups.append(names)
    return groups


def read_installed():
    fmt = "${Package}\t${db:Status-Abbrev}\t${Essential}\t${Priority}\t${Depends}\t${Pre-Depends}\t${Provides}\n"
    out = subprocess.run(["dpkg-query", "-W", "-f", fmt], check=True, capture_output=True, text=True).stdout
    depends, providers, base = {}, {}, set()
    for line in out.splitlines():
        name, status, essential, priority, dep, predep, provides = line.split("\t")
        if status[1:2] != "i":
            continue
        depends.setdefault(name, []).extend(split_relation(dep) + split_relation(predep))
        for group in split_relation(provides):
            providers.setdefault(group[0], set()).add(name)
        if essential == "yes" or priority == "required":
            base.add(name)
    return depends, providers, base


def closure(start, depends, providers):
    """The installed packages that start needs, through Depends and Pre-Depends: of 'a | b' each
    installed one counts, and a virtual name stands for its installed providers."""
    seen, todo = set(), list(start)
    while todo:
        name = todo.pop()
        if name in seen or name not in depends:
            continue
        seen.add(name)
        for group in depends[name]:
            for alt in group:
                todo.append(alt)
                todo.extend(providers.get(alt, ()))
    return seen


# The calls that read a file or run it; the others (stat, access, readlink) only probe.
OPENING = {"open", "openat", "openat2", "execve", "execveat"}
# glibc reads the locale's aliases and message catalogues when they are there and does without
# them (package locales): they translate messages and are no part of what the build uses.
LOCALE_FILES = ("/usr/share/locale/", "/usr/lib/locale/")


def parse_trace(lines):
    """strace -f lines -> (pid, call, first path, result) of each finished call, and the exit
    status of each process."""
    calls, exits, pending = [], {}, {}
    for line in lines:
        m = re.match(r"(\d+) (.*)", line)
        if not m:
            continue
        pid, rest = int(m.group(1)), m.group(2)
        e = re.match(r"\+\+\+ (?:exited with (\d+)|killed by)", rest)
        if e:
            exits[pid] = int(e.group(1)) if e.group(1) else -1
            continue
        r = re.match(r"<\.\.\. (\w+) resumed>(.*)", rest)
        if r:
            if pid in pending:
                call, path = pending.pop(pid)
                calls.append((pid, call, path, r.group(2)))
            continue
        c = re.match(r'(\w+)\((?:[^"]*?)"(/[^"]*)"(\.\.\.)?(.*)', rest)
        if not c or c.group(3):
            continue
        if c.group(4).endswith("<unfinished ...>"):
            pending[pid] = (c.group(1), c.group(2))
        else:
            calls.append((pid, c.group(1), c.group(2), c.group(4)))
    return calls, exits


def succeeded(result):
    m = re.search(r"\)\s+=\s+(-?\d+)", result)
    return bool(m) and int(m.group(1)) >= 0


def traced_configure(source):
    """Absolute paths of what a configure of source into a scratch folder used: every file read
    or run by a process that succeeded (a pkg-config that finds nothing reads every .pc file to
    suggest another name; a failed probe's reads made no part of the result), and every file
    found by a probe (find_library, if(EXISTS)) that the generated build names, such as
    md4c's libmd4c-html.so.0.4.8 on a link line. A probe that finds an optional library the
    build then leaves out (here: EGL, which Qt's package looks for) is not a use."""
    scratch = tempfile.mkdtemp(prefix="qb-setup-check-")
    trace = os.path.join(scratch, "trace.txt")
    out = os.path.join(scratch, "build")
    cmd = ["strace", "-f", "-q", "-e", "trace=%file", "-e", "signal=none", "-o", trace,
           "cmake", "-S", source, "-B", out, "-G", "Ninja",
           "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQB_WERROR=ON"]
    if shutil.which("ccache"):  # as dev.sh configures
        cmd += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    try:
        run = subprocess.run(cmd, capture_output=True, text=True)
        paths = set()
        if run.returncode == 0:
            with open(trace, encoding="utf-8", errors="surrogateescape") as f:
                calls, exits = parse_trace(f)
            with open(os.path.join(out, "build.ninja"), encoding="utf-8", errors="surrogateescape") as f:
                generated = f.read()
            for pid, call, path, result in calls:
                if not succeeded(result) or exits.get(pid, 0) != 0 or path.startswith(LOCALE_FILES):
                    continue
                if call in OPENING or path in generated:
                    paths.add(path)
        return run, paths
    finally:
        if not os.environ.get("QB_KEEP_TRACE"):
            shutil.rmtree(scratch, ignore_errors=True)


def compiler_inputs(build):
    out = subprocess.run(["ninja", "-C", build, "-t", "deps"], check=True, capture_output=True,
                         text=True, errors="surrogateescape").stdout
    return {line.strip() for line in out.splitlines() if line.startswith("    /")}


def loaded_libraries(build):
    programs = []
    for path in sorted(glob.glob(os.path.join(build, "bin", "*"))):
        if os.path.isfile(path) and os.access(path, os.X_OK):
            with open(path, "rb") as f:
                if f.read(4) == b"\x7fELF":
                    programs.append(path)
    used, unresolved = {}, []
    for program in programs:
        out = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
        for line in out.splitlines():
            m = re.match(r"\s*(\S+) => not found", line)
            if m:
                unresolved.append((os.path.basename(program), m.group(1)))
                continue
            m = re.match(r"\s*(?:\S+ => )?(/\S+) \(0x", line)
            if m:
                used.setdefault(m.group(1), os.path.basename(program))
    return programs, used, unresolved


def file_owners(path, owners):
    """The owning package sets of path as written, as resolved, and with only its folder
    resolved (a symlink such as libmd4c-html.so belongs to the -dev package, its target to the
    library package: both count)."""
    forms = {merged(path), merged(os.path.realpath(path)),
             merged(os.path.join(os.path.realpath(os.path.dirname(path)), os.path.basename(path)))}
    return [owners[f] for f in sorted(forms) if f in owners]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("source")
    ap.add_argument("build")
    ap.add_argument("--dev-sh", help="the dev.sh whose list to check (default SOURCE/dev.sh)")
    args = ap.parse_args()
    source, build = os.path.abspath(args.source), os.path.abspath(args.build)
    dev_sh = args.dev_sh or os.path.join(source, "dev.sh")

    for tool in ("strace", "ninja", "ldd", "cmake", "dpkg-query"):
        if not shutil.which(tool):
            print(f"setup-check: {tool} is missing: run ./dev.sh setup", file=sys.stderr)
            return 1
    listed = subprocess.run(["bash", dev_sh, "packages"], check=True, capture_output=True,
                            text=True).stdout.split()
    if not listed:
        print(f"setup-check: {dev_sh} packages printed no package", file=sys.stderr)
        return 1

    depends, providers, base = read_installed()
    allowed = closure(listed, depends, providers) | closure(base, depends, providers)
    not_installed = [p for p in listed if p not in depends]

    run, configured = traced_configure(source)
    if run.returncode != 0:
        print("setup-check: the configure failed:\n" + run.stdout[-2000:] + run.stderr[-4000:], file=sys.stderr)
        return 1
    headers = compiler_inputs(build)
    programs, libraries, unresolved = loaded_libraries(build)
    if not headers or not programs:
        print(f"setup-check: {build} has no compiled objects or no programs in bin/: build it first",
              file=sys.stderr)
        return 1

    uses = [(p, "configure") for p in sorted(configured)]
    uses += [(p, "compiler") for p in sorted(headers)]
    uses += [(p, "loaded by bin/" + who) for p, who in sorted(libraries.items())]

    owners = read_owners()
    missing, checked, packages = {}, 0, set()
    for path, why in uses:
        if path.startswith(("/proc/", "/sys/", "/dev/", source + "/", build + "/")):
            continue
        if not os.path.exists(path) or os.path.isdir(path):
            continue
        for owning in file_owners(path, owners):
            checked += 1
            packages |= owning
            if not owning & allowed:
                for p in sorted(owning):
                    missing.setdefault(p, []).append(f"{path} ({why})")

    for program, lib in unresolved:
        print(f"setup-check: bin/{program} needs {lib}, which is not found", file=sys.stderr)
    if not_installed:
        print("setup-check: listed but not installed (./dev.sh setup installs them): " + " ".join(not_installed),
              file=sys.stderr)
    if missing:
        print(f"setup-check: the build uses {len(missing)} package(s) that the set-up's list ({dev_sh}) "
              "does not install, neither listed nor needed by a listed one nor part of the base system:",
              file=sys.stderr)
        for p in sorted(missing):
            files = sorted(set(missing[p]))
            print(f"  {p}", file=sys.stderr)
            for f in files[:4]:
                print(f"      {f}", file=sys.stderr)
            if len(files) > 4:
                print(f"      and {len(files) - 4} more", file=sys.stderr)
        return 1
    if unresolved:
        return 1
    print(f"setup-check: {checked} uses of files from {len(packages)} packages "
          f"({len(configured)} configure paths, {len(headers)} headers, {len(libraries)} libraries "
          f"of {len(programs)} programs): all from the set-up's {len(listed)} packages, what they "
          f"need, or the base system")
    return 0


if __name__ == "__main__":
    sys.exit(main())
