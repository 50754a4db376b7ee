#!/usr/bin/env python3
"""Whole runs of kickstand on the graph shapes that once cost more than their
size, each against a linear-shaped reference of the same size in the same
run, at N plugins and at 4N, so that the growth exponent of each shows too
(1 is linear, 2 quadratic).

  fan-in         N plugins provide one barrier that one plugin requires
                 against a fan-out: one plugin provides it, N require it
  debug beside   N/4 JSON and N/4 .debug plugin files beside N/2 debug
  files          configuration lines (a dump), against N JSON files
  cycles         N/2 two-plugin cycles, each reported and raised as an alert
                 against the N/2 two-plugin chains that breaking them leaves

Runs activate no command: JSON plugins with empty start lists, on the
--parallel worker pool. Each figure is the median of --rounds runs; shape and
reference take turns within each round, so load from elsewhere hits both."""

import argparse
import ctypes
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from bench_rows import print_and_save, row

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from tree_processes import await_quiet  # noqa: E402

PR_SET_CHILD_SUBREAPER = 36
PLUGINS = "usr/libexec/kickstand/plugins"
DEBUG_CONF = "etc/halvex/kickstand/debug.conf"


def json_plugin(requires=(), provides=()):
    return json.dumps({"metadata": {"version": 1, "requires": list(requires), "provides": list(provides)},
                       "operations": {"start": []}})


def fan_in(n):
    files = {f"p{i}.json": json_plugin(provides=["all"]) for i in range(n)}
    files["last.json"] = json_plugin(requires=["all"])
    return files, "", n + 1


def fan_out(n):
    files = {f"p{i}.json": json_plugin(requires=["all"]) for i in range(n)}
    files["first.json"] = json_plugin(provides=["all"])
    return files, "", n + 1


def debug_beside_files(n):
    files = {f"j{i}.json": json_plugin(provides=[f"j{i}"]) for i in range(n // 4)}
    files.update({f"d{i}.debug": "" for i in range(n // 4)})
    conf = "".join(f"d{i}: :d{i}:true\n" for i in range(n // 2))
    return files, conf, n


def json_files(n):
    return {f"j{i}.json": json_plugin(provides=[f"j{i}"]) for i in range(n)}, "", n


def cycles(n):
    files = {}
    for i in range(n // 2):
        files[f"p{i}.json"] = json_plugin(requires=[f"x{i}"], provides=[f"y{i}"])
        files[f"q{i}.json"] = json_plugin(requires=[f"y{i}"], provides=[f"x{i}"])
    return files, "", n


def chains(n):
    files = {}
    for i in range(n // 2):
        files[f"p{i}.json"] = json_plugin(requires=[f"x{i}"], provides=[f"y{i}"])
        files[f"q{i}.json"] = json_plugin(provides=[f"x{i}"])
    return files, "", n


class Tree:
    """One host tree holding one shape at one size."""

    def __init__(self, scratch, make, n, dump):
        self.root = tempfile.mkdtemp(prefix="ks.", dir=scratch)
        for d in (PLUGINS, "bootbank", os.path.dirname(DEBUG_CONF)):
            os.makedirs(os.path.join(self.root, d))
        files, conf, self.plugins = make(n)
        for name, text in files.items():
            with open(os.path.join(self.root, PLUGINS, name), "w") as out:
                out.write(text)
        with open(os.path.join(self.root, DEBUG_CONF), "w") as out:
            out.write(conf)
        self.dump = os.path.join(self.root, "graph.dot") if dump else None
        self.env = dict(os.environ, KICKSTAND_ROOT=self.root)
        self.samples = []

    def run(self, kickstand):
        argv = [kickstand, f"--dump-dependency-tree={self.dump}"] if self.dump else [kickstand, "--parallel"]
        begin = time.perf_counter()
        status = subprocess.call(argv, env=self.env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.samples.append(time.perf_counter() - begin)
        left = await_quiet(self.root, 5)
        if status != 0 or left:
            sys.exit(f"{argv} in {self.root}: status {status}, left behind {left}")
        self.check()

    def check(self):
        """Every plugin ran (or was dumped), so the time measures the whole."""
        if self.dump:
            with open(self.dump) as dot:
                seen = sum(1 for line in dot if "[label=" in line and "shape=" not in line)
        else:
            with open(os.path.join(self.root, "var/log/sysboot.log")) as log:
                seen = sum(1 for line in log if line.startswith("[") and "] sysboot: " in line)
        if seen != self.plugins:
            sys.exit(f"{self.root}: {seen} of {self.plugins} plugins seen")

    def median(self):
        return statistics.median(self.samples)


SHAPES = [
    # name, reference, (shape, reference) makers, dump?, ratio limit
    ("fan-in", "fan-out", fan_in, fan_out, False, 1.5),
    ("debug beside files", "JSON files", debug_beside_files, json_files, True, 1.5),
    ("two-plugin cycles", "two-plugin chains", cycles, chains, False, 2.0),
]


def exponent(small, large, factor):
    return math.log(large.median() / small.median()) / math.log(factor)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    parser.add_argument("--n", type=int, default=12000)
    parser.add_argument("--factor", type=int, default=4, help="the larger size is N times this; 1 skips it")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--rows", help="write the table rows here as JSON")
    args = parser.parse_args()
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    sizes = [args.n] if args.factor == 1 else [args.n, args.n * args.factor]

    scratch = tempfile.mkdtemp(prefix="kscale.")
    rows = []
    try:
        for name, reference, make, make_reference, dump, limit in SHAPES:
            trees = {(kind, n): Tree(scratch, maker, n, dump)
                     for n in sizes for kind, maker in (("shape", make), ("reference", make_reference))}
            for r in range(args.rounds):
                for tree in trees.values():
                    tree.run(args.kickstand)
                print(f"scale_bench: {name}: round {r + 1}/{args.rounds} done", file=sys.stderr)
            for n in sizes:
                rows.append(row(f"scale {name}, N={n}", trees["shape", n].median(), "s",
                                f"{reference}, N={n}", trees["reference", n].median(),
                                f"<= {limit:.2f}" if n == args.n else "", limit if n == args.n else None))
            if len(sizes) == 2:
                growth = [exponent(trees[kind, sizes[0]], trees[kind, sizes[1]], args.factor)
                          for kind in ("shape", "reference")]
                rows.append(row(f"scale {name}, growth exponent {sizes[0]} -> {sizes[1]}", growth[0], "",
                                f"{reference}: {growth[1]:.2f}"))
            shutil.rmtree(scratch, ignore_errors=True)
            os.makedirs(scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    print_and_save(rows, args.rows, 52)


if __name__ == "__main__":
    main()
