"""The processes that belong to one host tree (their environment names it
as KICKSTAND_ROOT), and waiting for them to end. The caller must be their
subreaper (become_subreaper) for the reaping to collect the daemonised
command executor."""

import ctypes
import os
import time

PR_SET_CHILD_SUBREAPER = 36


def become_subreaper():
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def processes_of(root):
    """pid -> (parent pid, argv[0]) of the live processes whose environment
    names root."""
    entry = b"KICKSTAND_ROOT=" + root.encode()
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if entry not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/stat") as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                program = f.read().split(b"\0")[0].decode()
            found[int(pid)] = (parent, program)
        except (OSError, IndexError, ValueError):
            pass
    return found


def reap():
    while True:
        try:
            if os.waitpid(-1, os.WNOHANG)[0] == 0:
                return
        except ChildProcessError:
            return


def await_quiet(root, seconds):
    """Gives the tree's processes the given time to end (a command executor
    ends shortly after its stop request), then kills and reaps what is left
    and returns them as processes_of does."""
    deadline = time.monotonic() + seconds
    while processes_of(root) and time.monotonic() < deadline:
        time.sleep(0.001)
    left = processes_of(root)
    for pid in left:
        os.kill(pid, 9)
    reap()
    return left
