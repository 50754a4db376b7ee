#!/usr/bin/env python3
"""Boots kickstand many times in a row in one host tree and kills the command
executor process (SIGKILL) at a random moment of each boot, in a random run
mode. Every boot must finish with status 0, activate every plugin exactly
once, write a complete profiling log, and leave no process behind.

The plugins are a mix of JSON plugins (one to three described commands each,
run by the executor) and debug plugins (shell commands), linked through
barriers into one random DAG that stays the same for every boot."""

import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_tree import HostTree  # noqa: E402
from tree_processes import await_quiet, become_subreaper, processes_of  # noqa: E402

JSON_PLUGINS = 24
DEBUG_PLUGINS = 16
BOOT_TIMEOUT = 60
CONFIGURATION = ["=== Kickstand configuration info ===", " Start: ", " End: ", " Verbose: ",
                 " Parallel: ", " Randomize: ", " Interactive Mode: ", " Random Seed: "]


def json_strings(items):
    return ",".join(f'"{item}"' for item in items)


class SoakTree(HostTree):
    """The host tree every boot runs in."""

    def __init__(self, rng):
        super().__init__("ksoak.")
        os.makedirs(self.path("usr/lib/soak"))
        self.write("usr/lib/soak/nap", "#!/bin/sh\nexec sleep 0.02\n", 0o755)
        self.describe("nap", self.path("usr/lib/soak/nap"))
        self.describe("true", "/bin/true")
        self.plugins = self.link_plugins(rng)

    def describe(self, word, program):
        self.write(f"usr/lib/halvex/tarncli/soak-{word}.json",
                   f'{{"path":["soak","{word}"],"program":"{program}","parameters":[]}}')

    def link_plugins(self, rng):
        """Each plugin provides its own barrier and requires up to two
        barriers of plugins made before it."""
        names = [f"j{i:02d}" for i in range(JSON_PLUGINS)] + [f"d{i:02d}" for i in range(DEBUG_PLUGINS)]
        rng.shuffle(names)
        debug_lines = []
        for i, name in enumerate(names):
            requires = [f"b-{n}" for n in rng.sample(names[:i], min(i, rng.randint(0, 2)))]
            if name.startswith("j"):
                commands = [rng.choice(["soak nap", "soak true"]) for _ in range(rng.randint(1, 3))]
                self.write(f"usr/libexec/kickstand/plugins/{name}.json",
                           f'{{"metadata":{{"version":1,"requires":[{json_strings(requires)}],'
                           f'"provides":["b-{name}"]}},"operations":{{"start":[{json_strings(commands)}]}}}}')
            else:
                debug_lines.append(f"{name}:{','.join(requires) or ' '}:b-{name}:sleep 0.01\n")
        self.write("etc/halvex/kickstand/debug.conf", "".join(debug_lines))
        return set(names)


def find_executor(root, kickstand, boot_pid):
    """The command executor proper: a kickstand process of this root that is
    not the boot itself, not the boot's short-lived launcher child, and not
    a child that the executor is about to turn into a command."""
    ours = {pid: parent for pid, (parent, program) in processes_of(root).items()
            if program == kickstand and pid != boot_pid}
    for pid, parent in ours.items():
        if parent != boot_pid and parent not in ours:
            return pid
    return None


def check_kernel_log(text, plugins):
    problems = []
    for name in sorted(plugins):
        begun = text.count(f"Activating Kickstand plugin {name}.\n")
        ended = (len(re.findall(rf"^Kickstand plugin {name} activated\.$", text, re.M)) +
                 len(re.findall(rf"^Kickstand plugin {name} activation failed: ", text, re.M)))
        if begun != 1 or ended != 1:
            problems.append(f"{name} began {begun}x, ended {ended}x")
    return problems


def check_profiling_log(lines, plugins, mode):
    problems = []
    seen = [l.split("] sysboot: ", 1)[1] for l in lines if "] sysboot: " in l]
    if sorted(seen) != sorted(plugins):
        problems.append(f"plugin lines {len(seen)} of {len(plugins)}")
    if any(l.startswith("[1970-01-01") for l in lines):
        problems.append("a plugin line with zero times")
    tail = lines[-len(CONFIGURATION):]
    if len(tail) != len(CONFIGURATION) or any(not l.startswith(p) for l, p in zip(tail, CONFIGURATION)):
        problems.append("configuration section incomplete")
    else:
        if tail[4] != f" Parallel: {int('--parallel' in mode)}":
            problems.append(tail[4].strip())
        seed = [m for m in mode if m.startswith("--randomize=")]
        if seed and tail[7] != f" Random Seed: {seed[0].split('=')[1]}":
            problems.append(tail[7].strip())
    return problems


def boot(tree, kickstand, mode, kill_after):
    """One boot; kills the executor kill_after seconds in (or as soon as it
    is found after that). Returns (problems, killed, failed activations,
    seconds)."""
    open(tree.path("var/log/kernel.log"), "w").close()
    begin = time.monotonic()
    child = subprocess.Popen([kickstand] + mode, env=tree.environment(),
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    killed = False
    while child.poll() is None and time.monotonic() - begin < BOOT_TIMEOUT:
        if not killed and time.monotonic() - begin >= kill_after:
            executor = find_executor(tree.root, kickstand, child.pid)
            if executor:
                os.kill(executor, 9)
                killed = True
        time.sleep(0.001)
    seconds = time.monotonic() - begin
    problems = []
    if child.poll() is None:
        child.kill()
        problems.append(f"boot did not finish within {BOOT_TIMEOUT} s")
    elif child.returncode != 0:
        problems.append(f"exit status {child.returncode}")
    # Nothing of a boot may outlive it by more than a moment (a command that
    # lost its executor finishes its nap).
    left = await_quiet(tree.root, 3)
    if left:
        problems.append(f"left behind: {sorted(program for _, program in left.values())}")
    with open(tree.path("var/log/kernel.log")) as f:
        kernel = f.read()
    problems += check_kernel_log(kernel, tree.plugins)
    with open(tree.path("var/log/sysboot.log")) as f:
        problems += check_profiling_log(f.read().splitlines(), tree.plugins, mode)
    return problems, killed, kernel.count(" activation failed: "), seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    parser.add_argument("--boots", type=int, default=50)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    kickstand = os.path.abspath(args.kickstand)
    become_subreaper()
    rng = random.Random(args.seed)
    print(f"soak: seed {args.seed}, {args.boots} boots, "
          f"{JSON_PLUGINS} JSON + {DEBUG_PLUGINS} debug plugins")

    tree = SoakTree(random.Random(args.seed))
    # Boot lengths so far, serial and parallel apart, to aim the kills
    # inside the boot.
    durations = {False: [1.0], True: [0.6]}
    failures, kills, failed_activations = 0, 0, 0
    try:
        for n in range(1, args.boots + 1):
            mode = rng.choice([[], ["--parallel"], [f"--randomize={rng.randrange(1 << 30)}"],
                               ["--parallel", f"--randomize={rng.randrange(1 << 30)}"]])
            parallel = "--parallel" in mode
            kill_after = rng.uniform(0, 0.8 * statistics.median(durations[parallel]))
            problems, killed, failed, seconds = boot(tree, kickstand, mode, kill_after)
            durations[parallel].append(seconds)
            kills += killed
            failed_activations += failed
            verdict = "ok" if not problems else "FAILED: " + "; ".join(problems)
            print(f"boot {n:3d} {' '.join(mode) or '(serial)':<36} kill at {kill_after * 1e3:6.0f} ms "
                  f"{'killed' if killed else 'missed'}  {seconds * 1e3:6.0f} ms  "
                  f"{failed} failed activation(s)  {verdict}", flush=True)
            failures += bool(problems)
    finally:
        tree.remove()

    print(f"soak: {args.boots - failures}/{args.boots} boots passed; executor killed in {kills}; "
          f"{failed_activations} activations failed because a command lost its executor")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
