#!/usr/bin/env python3
"""Boots kickstand on a host tree whose var/log and bootbank sit on tiny
tmpfs file systems that are full (no block, or no inode, left), and checks
that the run finishes, logs each failed write with the system's reason,
keeps the old profiling log and run-once record as they were, leaves no
temporary file, and exits as the run sequence says: a run-once record that
cannot be written fails the run, a profiling log that cannot be written is
only logged.

Mounting needs a mount namespace of our own (root, or a user namespace);
where that is not allowed the test is skipped with exit status 77."""

import argparse
import ctypes
import errno
import itertools
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_tree import HostTree  # noqa: E402
from tree_processes import become_subreaper  # noqa: E402

SKIPPED = 77
CLONE_NEWNS = 0x00020000
MS_REC, MS_PRIVATE = 0x4000, 0x40000
MNT_DETACH = 2
RECORD, LOG = "bootbank/kickstnd.gz", "var/log/sysboot.log"
OLD_LOG = "OZKernel Initialization Time: 1000000\n=== the previous boot's log ===\n"
NO_SPACE = os.strerror(errno.ENOSPC)
libc = ctypes.CDLL(None, use_errno=True)


def own_mount_namespace():
    """Mounts made after this vanish with the process, whatever happens."""
    if libc.unshare(CLONE_NEWNS) != 0 or libc.mount(b"none", b"/", None, MS_REC | MS_PRIVATE, None):
        reason = os.strerror(ctypes.get_errno())
        print(f"full_disk: skipped: no mount namespace of our own ({reason})")
        sys.exit(SKIPPED)


def mount_tmpfs(path, options):
    if libc.mount(b"tmpfs", path.encode(), b"tmpfs", 0, options.encode()) != 0:
        raise OSError(ctypes.get_errno(), f"mount tmpfs on {path}")


def fill(directory, full):
    """Uses up the blocks (full == "blocks") or the inodes of directory's file system."""
    try:
        if full == "blocks":
            with open(os.path.join(directory, "filler"), "wb", buffering=0) as f:
                while True:
                    f.write(b"\0" * 4096)
        else:
            for n in itertools.count():
                open(os.path.join(directory, f"filler{n}"), "w").close()
    except OSError as e:
        if e.errno != errno.ENOSPC:
            raise


def failure(full, path):
    """The reason kickstand gives for a file it cannot replace."""
    if full == "inodes":
        return f"unable to create temporary file to write '{path}': {NO_SPACE}"
    return f"unable to write '{path}': {NO_SPACE}"


def gzip_text(path):
    return subprocess.run(["gzip", "-dc", path], capture_output=True, check=True).stdout.decode()


def boot(kickstand, full_directories, full):
    """One boot with the old files in place and the given directories full;
    returns the problems found."""
    tree = HostTree("kfull.")
    mounts = [tree.path(d) for d in full_directories]
    try:
        for mount in mounts:
            mount_tmpfs(mount, "size=64k,nr_inodes=64")
        tree.write(LOG, OLD_LOG)
        subprocess.run(f"echo 'kickstand.run-once=old,' | gzip -n > {tree.path(RECORD)}",
                       shell=True, check=True)
        for mount in mounts:
            fill(mount, full)
        run = subprocess.run([kickstand, "--run-once=new"], env=tree.environment(),
                             stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
        return check(tree, run, full_directories, full)
    finally:
        for mount in mounts:
            libc.umount2(mount.encode(), MNT_DETACH)
        tree.remove()


def check(tree, run, full_directories, full):
    record_full, log_full = "bootbank" in full_directories, "var/log" in full_directories
    expected = []
    if log_full:
        expected.append("warning: unable to log profiling information: "
                        f"{failure(full, tree.path(LOG))}.")
    if record_full:
        expected += ["error: unhandled exception whilst enumerating plugins.",
                     failure(full, tree.path(RECORD))]
    problems = [f"not logged: {line}" for line in expected if line not in run.stdout]
    if run.returncode != (1 if record_full else 0):
        problems.append(f"exit status {run.returncode}")
    record = gzip_text(tree.path(RECORD))
    if record != ("kickstand.run-once=old,\n" if record_full else "kickstand.run-once=new,\n"):
        problems.append(f"the record holds {record!r}")
    if log_full != (tree.read(LOG) == OLD_LOG):
        problems.append(f"the profiling log is {tree.read(LOG)[:80]!r}")
    left = [e for d in ("bootbank", "var/log") for e in os.listdir(tree.path(d))
            if e.startswith(("kickstnd.gz.", "sysboot.log."))]
    if left:
        problems.append(f"temporary files left: {left}")
    return problems + ([run.stdout] if problems else [])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    args = parser.parse_args()
    own_mount_namespace()
    become_subreaper()
    failed = False
    for directories, full in ((["var/log"], "blocks"), (["var/log", "bootbank"], "blocks"),
                              (["bootbank"], "inodes"), (["var/log", "bootbank"], "inodes")):
        problems = boot(os.path.abspath(args.kickstand), directories, full)
        print(f"full_disk: {' and '.join(directories)} without {full}: "
              + ("ok" if not problems else "FAILED\n  " + "\n  ".join(problems)), flush=True)
        failed |= bool(problems)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
