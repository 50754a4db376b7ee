#!/usr/bin/env python3
"""Kills kickstand (SIGKILL) at random moments while it replaces the run-once
record and the profiling log, --kills times in one host tree, and checks
after every run that both files are whole: the record passes `gzip -t` and
holds either the keys it held before or the keys of the killed run, and the
profiling log is either the text it had before or a complete log of the
killed run; never a mix, never an empty file.

Each kill is aimed at one of the two writes, chosen at random: the boot's
plugins finish at once, and the kill falls at a random moment after that
file's temporary file (NAME.XXXXXX) appears, within the time such a file
lived in the boots before. A kill counts as landing in a write when a
temporary file of the boot existed just before it. A boot that ends before
its kill must exit 0 and leave no temporary file, not even those of killed
boots before it: a boot clears what killed writers left beside a file
before it replaces it. So after any boot at most one temporary file lies
beside each target, the one the last kill in its write left."""

import argparse
import os
import random
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_tree import HostTree  # noqa: E402
from tree_processes import await_quiet, become_subreaper  # noqa: E402
from soak import check_profiling_log  # noqa: E402

RECORD = "bootbank/kickstnd.gz"
LOG = "var/log/sysboot.log"
PLUGINS = ("quick1", "quick2", "quick3")
CALIBRATION_BOOTS = 10
RECENT = 25  # the disk's pace drifts: aim by the lifetimes seen last
BOOT_TIMEOUT = 30


def temporaries(tree):
    """The temporary files beside the two targets."""
    found = set()
    for target in (RECORD, LOG):
        directory, name = os.path.split(tree.path(target))
        found |= {os.path.join(directory, entry) for entry in os.listdir(directory)
                  if entry.startswith(name + ".") and len(entry) == len(name) + 7}
    return found


def record_text(tree):
    """The record's decompressed text, or None when gzip refuses it."""
    path = tree.path(RECORD)
    if subprocess.run(["gzip", "-t", path], capture_output=True).returncode != 0:
        return None
    return subprocess.run(["gzip", "-dc", path], capture_output=True, check=True).stdout.decode()


class Boot:
    """One boot. With an aim (target, delay), killed `delay` seconds after
    the temporary file of that target appeared; otherwise left to finish."""

    def __init__(self, tree, kickstand, number, aim=None):
        self.number = number
        before = temporaries(tree)
        child = subprocess.Popen([kickstand, f"--run-once=key{number}", f"--randomize={number}"],
                                 env=tree.environment(), stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.killed, self.in_write = False, False
        seen, self.lifetimes = {}, {}  # target -> when its temporary file appeared, how long it stayed
        deadline = time.monotonic() + BOOT_TIMEOUT
        while child.poll() is None and time.monotonic() < deadline:
            now = time.monotonic()
            fresh = temporaries(tree) - before
            for target in (RECORD, LOG):
                if any(path.startswith(tree.path(target) + ".") for path in fresh):
                    seen.setdefault(target, now)
                elif target in seen:
                    self.lifetimes.setdefault(target, now - seen[target])
            if aim and aim[0] in seen and now - seen[aim[0]] >= aim[1]:
                self.in_write = bool(fresh)
                child.send_signal(signal.SIGKILL)
                self.killed = True
                break
        if child.poll() is None and not self.killed:
            child.kill()
        self.status = child.wait()
        await_quiet(tree.root, 0 if self.killed else 3)  # the command executor, when killed
        self.present = temporaries(tree)
        self.left = self.present - before

    def problems(self, tree, old_record, old_log):
        problems = []
        record = record_text(tree)
        if record is None:
            problems.append("the record fails gzip -t")
        elif record not in (old_record, f"kickstand.run-once=key{self.number},\n"):
            problems.append(f"the record holds {record!r}")
        log = tree.read(LOG)
        if log != old_log:
            lines = log.splitlines()
            wrong = check_profiling_log(lines, PLUGINS, [f"--randomize={self.number}"])
            if not log.endswith("\n") or not lines[0].startswith("OZKernel Initialization Time: "):
                wrong.append("not a whole log")
            problems += [f"the profiling log: {p}" for p in wrong]
        if not self.killed:
            if self.status != 0:
                problems.append(f"a finished boot exited with {self.status}")
            if self.present:
                problems.append(f"a finished boot left {sorted(self.present)}")
        for target in (RECORD, LOG):
            beside = [p for p in self.present if p.startswith(tree.path(target) + ".")]
            if len(beside) > 1:
                problems.append(f"temporary files pile up: {sorted(beside)}")
        return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    kickstand = os.path.abspath(args.kickstand)
    become_subreaper()
    rng = random.Random(args.seed)
    tree = HostTree("kdur.")
    tree.write("etc/halvex/kickstand/debug.conf", "".join(f"{p}: : :true\n" for p in PLUGINS))
    print(f"durability: seed {args.seed}, {args.kills} kills", flush=True)
    boots, lifetimes, failures = [], {RECORD: [], LOG: []}, 0
    try:
        while sum(boot.killed for boot in boots) < args.kills and len(boots) < 3 * args.kills:
            aim = None
            if len(boots) >= CALIBRATION_BOOTS:
                target = rng.choice([RECORD, LOG])
                aim = (target, rng.uniform(0, statistics.median(lifetimes[target][-RECENT:])))
            first = not boots  # has no files before it to compare with
            old_record = None if first else record_text(tree)
            old_log = None if first else tree.read(LOG)
            boot = Boot(tree, kickstand, len(boots), aim)
            for target, lifetime in boot.lifetimes.items():
                lifetimes[target].append(lifetime)
            problems = [] if first else boot.problems(tree, old_record, old_log)
            if problems:
                failures += 1
                print(f"boot {boot.number}: aimed at {aim}: " + "; ".join(problems), flush=True)
            boots.append(boot)
            if len(boots) == CALIBRATION_BOOTS and not all(lifetimes.values()):
                sys.exit("durability: unkilled boots did not show both temporary files")
    finally:
        tree.remove()

    killed = [boot for boot in boots if boot.killed]
    in_write = sum(boot.in_write for boot in killed)
    print("durability: temporary files live " + ", ".join(
        f"{os.path.basename(t)} {statistics.median(v) * 1e3:.2f} ms ({len(v)} seen whole)"
        for t, v in lifetimes.items()) + " (medians)")
    print(f"durability: {len(killed)} kills, {in_write} ({100 * in_write / max(1, len(killed)):.0f}%) "
          f"while a temporary file of the boot existed; "
          f"{len(boots) - CALIBRATION_BOOTS - len(killed)} boots finished before their kill")
    print(f"durability: {sum(len(boot.left) for boot in killed)} temporary files left by killed "
          f"writers, {len(boots[-1].present)} of them still there after the last boot; "
          f"{sum(len(boot.left) for boot in boots if not boot.killed)} left by finished boots")
    print(f"durability: {failures} boots with a torn, empty or mixed file, "
          f"a finished boot's leftovers or temporary files piling up")
    sys.exit(1 if failures or len(killed) < args.kills else 0)


if __name__ == "__main__":
    main()
