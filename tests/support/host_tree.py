"""A fresh host tree for the scripts that boot kickstand: a temporary
KICKSTAND_ROOT with the directories a boot needs, the environment that
names it, and its removal together with every process still running in it."""

import os
import shutil
import tempfile

from tree_processes import await_quiet

DIRECTORIES = ("usr/libexec/kickstand/plugins", "etc/halvex/kickstand", "bootbank", "var/log",
               "usr/lib/halvex/tarncli/int/ext", "usr/lib/halvex/tarncli/ext")


class HostTree:
    def __init__(self, prefix):
        # Short: the control socket's path must fit a UNIX socket address.
        self.root = tempfile.mkdtemp(prefix=prefix, dir="/tmp")
        for d in DIRECTORIES:
            os.makedirs(self.path(d))

    def path(self, relative):
        return os.path.join(self.root, relative)

    def write(self, relative, text, mode=0o644):
        with open(self.path(relative), "w") as f:
            f.write(text)
        os.chmod(self.path(relative), mode)

    def read(self, relative):
        with open(self.path(relative)) as f:
            return f.read()

    def environment(self):
        return dict(os.environ, KICKSTAND_ROOT=self.root)

    def remove(self):
        await_quiet(self.root, 0)
        shutil.rmtree(self.root, ignore_errors=True)
