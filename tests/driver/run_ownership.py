#!/usr/bin/env python3
"""A run owns its host tree: whole runs of build/kickstand, killed, signalled,
started together, and given files that would once hang or blow them up.
Each case is a CTest test of its own (RunOwnership.<case>); with no --case,
every case runs.

The processes of a tree are those whose environment names it as
KICKSTAND_ROOT (tests/support/tree_processes.py); this script is their
subreaper, so the daemonised command executor is reaped here."""

import argparse
import gzip
import os
import pty
import select
import signal
import subprocess
import sys
import threading
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_tree import HostTree  # noqa: E402
from tree_processes import become_subreaper, processes_of  # noqa: E402

PLUGINS = "usr/libexec/kickstand/plugins"
DEBUG_CONF = "etc/halvex/kickstand/debug.conf"
LOG, RECORD = "var/log/sysboot.log", "bootbank/kickstnd.gz"
EXECUTOR_LOG = "var/log/kickstand-tarncli-stdout.log"
KICKSTAND = None
SANITIZED = False  # a sanitizer's own memory would count in the peak
failures = []
started = set()  # the runs this script waits for itself


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}", flush=True)


def new_tree(prefix):
    tree = HostTree(prefix)
    os.makedirs(tree.path("bin"))
    return tree


def described(tree, name, body, parameters="[]"):
    """A command "NAME" of the command framework that runs the shell body."""
    tree.write(f"bin/{name}", f"#!/bin/sh\n{body}\n", 0o755)
    tree.write(f"usr/lib/halvex/tarncli/{name}.json",
               f'{{"path": ["{name}"], "program": "{tree.path("bin/" + name)}", '
               f'"parameters": {parameters}}}')


def json_plugin(tree, name, commands, requires=(), provides=(), run_once=False):
    once = f', "run_once": {"true" if run_once else "false"}, "plugin_version": "1.0"'
    quoted, required, provided = (", ".join(f'"{w}"' for w in words)
                                  for words in (commands, requires, provides))
    tree.write(f"{PLUGINS}/{name}.json",
               f'{{"metadata": {{"version": 3, "requires": [{required}], '
               f'"provides": [{provided}]{once}}}, "operations": {{"start": [{quoted}]}}}}')


def start(tree, *args):
    child = subprocess.Popen([KICKSTAND, *args], env=tree.environment(), stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    started.add(child.pid)
    return child


def reap_orphans():
    """Reaps, as an init would, the processes that ended after their parent:
    this script is their subreaper, and a process group whose members are
    zombies still counts as alive to kill(2). Runs on a thread of its own."""
    me = str(os.getpid())
    while True:
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/stat") as f:
                    state, parent = f.read().rsplit(")", 1)[1].split()[:2]
                if state == "Z" and parent == me and int(pid) not in started:
                    os.waitpid(int(pid), os.WNOHANG)
            except (OSError, ValueError, ChildProcessError):
                pass
        time.sleep(0.005)


def log_lines(out):
    """"info: MESSAGE" of each log line."""
    return [line.split("] ", 1)[1] for line in out.splitlines() if "] " in line]


def run(tree, *args, timeout=60):
    """The exit status and the log lines; the whole output last."""
    child = start(tree, *args)
    out, _ = child.communicate(timeout=timeout)
    return child.returncode, log_lines(out), out


def becomes(done, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if done():
            return True
        time.sleep(0.005)
    return done()


def read(tree, relative):
    """The file's text, "" when it is missing."""
    try:
        return tree.read(relative)
    except FileNotFoundError:
        return ""


def pid_in(tree, relative):
    text = read(tree, relative)
    return int(text) if text.strip().isdigit() else None


def left(tree, allowed=()):
    return {pid: what for pid, what in processes_of(tree.root).items() if pid not in allowed}


def busy_tree(prefix):
    """A JSON plugin whose command sleeps, a debug plugin that sleeps, and one
    that waits for both; each sleeper writes its process id."""
    tree = new_tree(prefix)
    described(tree, "slow", 'echo $$ > "$KICKSTAND_ROOT/slow.pid"; exec sleep 60')
    described(tree, "quick", 'echo $PPID >> "$KICKSTAND_ROOT/quick.ppid"')
    json_plugin(tree, "j", ["slow"], provides=["jb"], run_once=True)
    json_plugin(tree, "early", [], run_once=True)
    json_plugin(tree, "late", [], requires=["jb"], run_once=True)
    tree.write(DEBUG_CONF, 'd: :db:echo $$ > "$KICKSTAND_ROOT/d.pid"; exec sleep 60 > /dev/null 2>&1\n'
                           'after:jb,db: :touch "$KICKSTAND_ROOT/after"\n')
    return tree


def await_busy(tree):
    return becomes(lambda: pid_in(tree, "slow.pid") and pid_in(tree, "d.pid"), 20)


def next_run_starts_its_own_executor(tree, what):
    json_plugin(tree, "q", ["quick"])
    status, lines, _ = run(tree, "--plugin=q.json")
    check(status == 0, f"{what}: the next run exits {status}")
    check("info: Setting up Executor - Reset Requested" in lines,
          f"{what}: the next run reuses an executor")
    check(not any("is in progress; waiting" in line for line in lines),
          f"{what}: the next run waited for the lock")
    check(read(tree, "quick.ppid").strip(), f"{what}: the next run's JSON command did not run")


def case_sigkill():
    """SIGKILL of the main process: its executor and the command it runs are
    gone within 1 s; a daemon a plugin left does not keep them, nor the lock."""
    tree = busy_tree("kown.")
    tree.write(DEBUG_CONF, tree.read(DEBUG_CONF) +
               'daemon: : :sleep 60 > /dev/null 2>&1 & echo $! > "$KICKSTAND_ROOT/daemon.pid"\n')
    try:
        child = start(tree, "--parallel")
        check(await_busy(tree) and becomes(lambda: pid_in(tree, "daemon.pid"), 5),
              "sigkill: the plugins did not start")
        child.kill()
        child.communicate()
        allowed = (pid_in(tree, "d.pid"), pid_in(tree, "daemon.pid"))  # children of the killed run
        check(becomes(lambda: not left(tree, allowed), 1),
              f"sigkill: left after 1 s: {left(tree, allowed)}")
        next_run_starts_its_own_executor(tree, "sigkill")
    finally:
        tree.remove()


def interrupt(child, how, master):
    if how == "ctrl-c":
        os.write(master, b"\x03")
    else:
        os.kill(child, how)


def case_signals():
    """SIGTERM, SIGINT, SIGHUP and Ctrl-C on a terminal: within 3 s nothing of
    the run is left, the plugins running are named, the profiling log holds
    what ran, the run-once record the plugin that finished but not the one
    cut off, and the process ends by the signal."""
    for how in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, "ctrl-c"):
        sig = signal.SIGINT if how == "ctrl-c" else how
        tree = busy_tree("ksig.")
        try:
            # On a terminal of its own, whose foreground process group it leads.
            child, master = pty.fork()
            if child == 0:
                os.execve(KICKSTAND, [KICKSTAND, "--parallel"], tree.environment())
            started.add(child)
            out = b""
            ready = await_busy(tree) and becomes(lambda: "Kickstand plugin early activated." in
                                                 read(tree, "var/log/kernel.log"), 5)
            interrupt(child, how, master)
            began = time.monotonic()
            status = None
            while status is None and time.monotonic() - began < 10:
                if select.select([master], [], [], 0.01)[0]:
                    try:
                        out += os.read(master, 4096)
                    except OSError:
                        pass
                pid, raw = os.waitpid(child, os.WNOHANG)
                status = raw if pid else None
            gone = becomes(lambda: not left(tree), max(0.0, 3 - (time.monotonic() - began)))
            lines = log_lines(out.decode(errors="replace"))
            name = signal.Signals(sig).name
            check(ready and status is not None and os.WIFSIGNALED(status) and
                  os.WTERMSIG(status) == sig, f"{how}: the run did not end by {name}")
            check(gone, f"{how}: left after 3 s: {left(tree)}")
            check(any(line in lines for line in (
                f"error: interrupted by {name}; 2 plugins were running: j, d",
                f"error: interrupted by {name}; 2 plugins were running: d, j")),
                f"{how}: no interruption line in {lines}")
            log = tree.read(LOG)
            check("] sysboot: j" in log and "sysboot: after" in log and
                  "[1970-01-01 00:00:00.000000 - 1970-01-01 00:00:00.000000] sysboot: after" in log,
                  f"{how}: the profiling log does not show where the boot stood:\n{log}")
            check(not os.path.exists(tree.path("after")), f"{how}: a plugin started after it")
            check(not os.path.exists(tree.path("var/lib/configstore/end-autoconf")),
                  f"{how}: the configuration store's boot phase was ended")
            record = gzip.decompress(open(tree.path(RECORD), "rb").read())
            check(record == b"kickstand.run-once=early1.0,\n", f"{how}: the record holds {record}")
            check(f"Kickstand plugin j activation failed: interrupted by {name}\n"
                  in tree.read("var/log/kernel.log"), f"{how}: the kernel log")
            next_run_starts_its_own_executor(tree, str(how))
            os.close(master)
        finally:
            tree.remove()


def case_concurrent_runs():
    """A --parallel boot with two 1 s JSON commands a plugin, a dump run (it
    takes no lock) and a plain run 0.3 s later: all exit 0, every plugin of
    both runs runs its commands, each run in its own executor (the dump's stop
    request does not end the boot's), the plain run waited. Two invoke runs
    of two run-once plugins at once: both keys recorded."""
    tree = new_tree("kcon.")
    described(tree, "second", 'sleep 1; echo $PPID >> "$KICKSTAND_ROOT/marks"')
    for n in range(2):
        json_plugin(tree, f"p{n}", ["second", "second"])
    try:
        boot = start(tree, "--parallel")
        time.sleep(0.3)
        dump = start(tree, "--dump-dependency-tree=" + tree.path("graph.dot"))
        plain = start(tree)
        dump_out = dump.communicate(timeout=60)[0]
        boot_out, plain_out = boot.communicate(timeout=60)[0], plain.communicate(timeout=60)[0]
        check(boot.returncode == 0 and plain.returncode == 0 and dump.returncode == 0,
              f"concurrent: exit {boot.returncode}, {plain.returncode}, {dump.returncode}")
        marks = read(tree, "marks").split()
        check(len(marks) == 8 and len(set(marks)) == 2,
              f"concurrent: commands ran by executor {marks}")
        check(f"info: another kickstand run (pid {boot.pid}) is in progress; waiting for it to "
              "finish" in log_lines(plain_out), f"concurrent: no waiting line in {plain_out}")
        for n in range(2):
            json_plugin(tree, f"once{n}", ["second"], run_once=True)
        invokes = [start(tree, "--invoke", "--method=start", f"--plugin=once{n}.json")
                   for n in range(2)]
        check([i.communicate(timeout=60) and i.returncode for i in invokes] == [0, 0],
              "concurrent: an invoke run failed")
        record = gzip.decompress(open(tree.path(RECORD), "rb").read()).decode()
        check(record == "kickstand.run-once=once01.0,once11.0,\n", f"concurrent: {record!r}")
    finally:
        tree.remove()


def temporaries(tree, target):
    directory, name = os.path.split(tree.path(target))
    return sorted(e for e in os.listdir(directory) if e.startswith(name + ".") and
                  len(e) == len(name) + 7)


def case_replacements():
    """SIGTERM while a daemon run copies a 100 MB profiling log: no temporary
    file, the old log whole. Temporary files a killed writer left are
    removed by the next run, with a message; nothing else is."""
    tree = new_tree("krep.")
    tree.write("bin/chkconfig", "#!/bin/sh\n", 0o755)
    old = "OZKernel Initialization Time: 0\n" + ("x" * 99 + "\n") * 10000
    with open(tree.path(LOG), "w") as f:
        for _ in range(100):
            f.write(old)
    try:
        child = start(tree, "--daemon", "--method=start")
        check(becomes(lambda: temporaries(tree, LOG), 20), "replacement: no temporary file seen")
        child.send_signal(signal.SIGTERM)
        lines = log_lines(child.communicate(timeout=10)[0])
        check(child.returncode == -signal.SIGTERM, f"replacement: exit {child.returncode}")
        check("warning: unable to log daemon profiling information: interrupted by SIGTERM." in lines,
              f"replacement: {lines}")
        check(not temporaries(tree, LOG), "replacement: a temporary file is left")
        check(os.path.getsize(tree.path(LOG)) == len(old) * 100, "replacement: the log changed")
        planted = ["var/log/sysboot.log.a1B2c3", "bootbank/kickstnd.gz.ZZ9999"]
        kept = ["var/log/sysboot.log.keep", "var/log/sysboot.log.a1B2c", "var/log/other.log.abcdef"]
        for path in planted + kept:
            tree.write(path, "left")
        status, lines, _ = run(tree)
        check(status == 0, f"debris: exit {status}")
        for path in planted:
            check(f"warning: removed a temporary file left by an interrupted run: {tree.path(path)}"
                  in lines and not os.path.exists(tree.path(path)), f"debris: {path}")
        check(all(os.path.exists(tree.path(path)) for path in kept), "debris: removed another file")
    finally:
        tree.remove()


def case_bounded_reads():
    """A lister that never ends, a FIFO among the command descriptions, FIFOs
    in place of every file a boot reads, and a run-once record of 1 MB that
    expands to 1 GB."""
    tree = new_tree("kbnd.")
    tree.write("bin/chkconfig", "#!/bin/sh\nsleep 600 &\nsleep 600\n", 0o755)
    described(tree, "quick", 'echo ran >> "$KICKSTAND_ROOT/quick.ran"')
    os.mkfifo(tree.path("usr/lib/halvex/tarncli/x.json"))
    json_plugin(tree, "q", ["quick"])
    json_plugin(tree, "once", ["quick"], run_once=True)
    try:
        began = time.monotonic()
        status, _, out = run(tree, "--daemon", "--method=start", "--daemon-wait-timeout=1")
        took = time.monotonic() - began
        check(status == 1 and took < 3, f"lister: exit {status} after {took:.1f} s")
        check(f"Failed obtaining list of init.d scripts: {tree.path('bin/chkconfig')} -p timed "
              "out after 1 s" in out, f"lister: {out}")
        check(becomes(lambda: not left(tree), 0.5), f"lister: left {left(tree)}")

        began = time.monotonic()
        status, _, _ = run(tree, "--plugin=q.json")
        check(status == 0 and time.monotonic() - began < 1 and read(tree, "quick.ran"),
              "fifo: the command did not run within 1 s")
        check(f"skipping command description {tree.path('usr/lib/halvex/tarncli/x.json')}: "
              "cannot open it: not a regular file: fifo" in tree.read(EXECUTOR_LOG), "fifo: message")

        fifos = (DEBUG_CONF, LOG, RECORD, "var/run/halvex/ozsyslogd.pid")
        for fifo in fifos:
            if os.path.lexists(tree.path(fifo)):
                os.remove(tree.path(fifo))
            os.mkfifo(tree.path(fifo))
        began = time.monotonic()
        status, lines, out = run(tree, "--init", "--parallel", "--order=history", "--plugin=q.json")
        check(status == 0 and time.monotonic() - began < 3, f"fifos: exit {status}: {out}")
        check("info: no previous boot recorded; ordering by height" in lines and
              "warning: unable to open ozksyslogd pid file." in lines, f"fifos: {out}")
        check(gzip.decompress(open(tree.path(RECORD), "rb").read()) == b"kickstand.run-once=\n",
              "fifos: the record is not replaced")
        os.remove(tree.path(fifos[-1]))

        record = zlib.compressobj(6, zlib.DEFLATED, 31)
        with open(tree.path(RECORD), "wb") as f:
            f.write(record.compress(b"kickstand.run-once=good1.0,"))
            for _ in range(1024):
                f.write(record.compress(b"a" * (1 << 20)))
            f.write(record.flush())
        # GNU time, a small parent: a child of this script would count its memory too.
        timed = subprocess.run(["/usr/bin/time", "-f", "%M", KICKSTAND, "--invoke", "--method=start",
                                "--plugin=once.json"], env=tree.environment(), capture_output=True,
                               text=True)
        check("warning: run-once record larger than 1 MiB; the rest is ignored"
              in log_lines(timed.stdout), f"record: {timed.stdout}")
        peak = int(timed.stderr.split()[-1])
        check(SANITIZED or peak < 32 * 1024, f"record: peak resident memory {peak} KiB")
        kept = gzip.decompress(open(tree.path(RECORD), "rb").read()).decode()
        check(kept == "kickstand.run-once=good1.0,once1.0,\n", f"record: {kept[:80]!r}")
    finally:
        tree.remove()


def case_links():
    """The run-once record and the profiling log behind symbolic links."""
    tree = new_tree("klnk.")
    os.makedirs(tree.path("bootbank/real"))
    os.symlink("real/kickstnd.gz", tree.path(RECORD))
    os.symlink(tree.path("var/log/real.log"), tree.path(LOG))
    try:
        status, _, _ = run(tree, "--run-once=k")
        check(status == 0, f"links: exit {status}")
        check(os.path.islink(tree.path(RECORD)) and os.path.islink(tree.path(LOG)),
              "links: replaced by files")
        record = gzip.decompress(open(tree.path("bootbank/real/kickstnd.gz"), "rb").read())
        check(record == b"kickstand.run-once=k,\n", f"links: the target holds {record!r}")
        check("=== Kickstand configuration info ===" in tree.read("var/log/real.log"),
              "links: the log's target")
    finally:
        tree.remove()


def case_unlocked():
    """Where the lock cannot be taken, the run says why and goes on: here its
    executor cannot start either, which fails the run as before."""
    tree = new_tree("kunl.")
    os.makedirs(tree.path("var/run"))
    tree.write("var/run/halvex", "a file")
    try:
        status, lines, _ = run(tree)
        lock = tree.path("var/run/halvex/kickstand.lock")
        check(status == 1, f"unlocked: exit {status}")
        check(f"warning: unable to lock {lock}: Not a directory; this run goes on without the lock"
              in lines, f"unlocked: {lines}")
        check(any(line.startswith("warning: Failed to start executor") for line in lines),
              f"unlocked: {lines}")
    finally:
        tree.remove()


CASES = {
    "SigkillLeavesNoExecutorAndTheNextRunStartsItsOwn": case_sigkill,
    "SignalsEndTheRunCleanly": case_signals,
    "ConcurrentRunsTakeTurns": case_concurrent_runs,
    "ReplacementsLeaveNoTemporaryFile": case_replacements,
    "ReadsAreBounded": case_bounded_reads,
    "LinksAreFollowed": case_links,
    "WithoutTheLockTheRunGoesOnUnlocked": case_unlocked,
}


def main():
    global KICKSTAND, SANITIZED
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    parser.add_argument("--case", choices=sorted(CASES))
    parser.add_argument("--sanitized", action="store_true",
                        help="kickstand is built with a sanitizer: no memory bound")
    args = parser.parse_args()
    KICKSTAND, SANITIZED = os.path.abspath(args.kickstand), args.sanitized
    become_subreaper()
    threading.Thread(target=reap_orphans, daemon=True).start()
    for name, case in CASES.items():
        if args.case in (None, name):
            case()
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
