#!/usr/bin/env python3
"""InteractiveModeTest.EveryAnswerOnARealTerminal: a whole run of
build/kickstand on a pseudo-terminal, holding a console dialogue with it.

Debug plugins p1 to p6 run one after the other; each writes its name. The
questions start after p1, the last plugin waited for, and end with
continue, before p6. The troubleshooting shell reads the lines typed after
the t: the prompt reads no more than its answer."""

import argparse
import os
import pty
import select
import signal
import sys
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_tree import HostTree  # noqa: E402

TROUBLESHOOT = b"\033[33m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m\n"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}", flush=True)


class Terminal:
    """kickstand on a pseudo-terminal whose output holds exactly the bytes
    the program wrote (no carriage returns added)."""

    def __init__(self, kickstand, tree, args):
        self.child, self.master = pty.fork()
        if self.child == 0:
            modes = termios.tcgetattr(0)
            modes[1] &= ~termios.ONLCR
            termios.tcsetattr(0, termios.TCSANOW, modes)
            os.execve(kickstand, [kickstand, *args], tree.environment())
        self.output = b""
        self.asked = 0

    def read_some(self, timeout):
        """False once every holder of the terminal's other side has gone."""
        if not select.select([self.master], [], [], timeout)[0]:
            return True
        try:
            data = os.read(self.master, 4096)
        except OSError:  # EIO
            return False
        self.output += data
        return bool(data)

    def answer(self, plugin, keys):
        """Waits, 30 s at most, for the question about plugin after the last
        one and for the echo to be off, then types keys; False when none came."""
        question = b"current plugin: \033[36m" + plugin.encode() + b"\n"
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            found = self.output.find(question, self.asked)
            if found >= 0 and not termios.tcgetattr(self.master)[3] & termios.ECHO:
                self.asked = found + len(question)
                os.write(self.master, keys.encode())
                return True
            if not self.read_some(0.01):
                return False
        return False

    def finish(self, seconds):
        """Waits, the given seconds at most, for the program to end and close
        the terminal; the exit status."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self.read_some(0.1):
            pass
        os.kill(self.child, signal.SIGKILL)  # nothing to a program that has ended, as it should have
        _, status = os.waitpid(self.child, 0)
        return os.waitstatus_to_exitcode(status)


def every_answer(kickstand):
    tree = HostTree("kint.")
    try:
        tree.write("etc/halvex/kickstand/debug.conf", "".join(
            f"p{i}:b{i - 1}:b{i}:echo p{i} >> {tree.path('ran')}\n" for i in range(1, 7)))
        terminal = Terminal(kickstand, tree, ["--interactive", "--interactive-mode-requires=p1",
                                              "--plugin-timeout=1"])
        answered = (terminal.answer("p2", "xE") and terminal.answer("p3", "s") and
                    terminal.answer("p4", "techo shell-$((6 * 7))\nexit\n"))
        time.sleep(1.5)  # p5's question stays open past its time limit, which it does not count
        answered = answered and terminal.answer("p5", "c")
        status = terminal.finish(60 if answered else 0)
        out = terminal.output
        check(answered, f"a question did not come:\n{out!r}")
        check(status == 0, f"exit status {status}")
        check(b"info: skipping plugin p3 (interactive mode request)\n" in out, "no skip line")
        # The shell's answer after the choice, and the line cleared after the shell.
        choice = out.find(TROUBLESHOOT)
        answer = out.find(b"shell-42\n", choice) if choice >= 0 else -1
        check(answer >= 0 and out.find(b"\033[2K", answer) >= 0, f"the shell's answer:\n{out!r}")
        check(tree.read("ran") == "p1\np2\np4\np5\np6\n", f"ran {tree.read('ran')!r}")
        kernel = tree.read("var/log/kernel.log")
        check("Kickstand plugin p4 activated.\nActivating Kickstand plugin p5.\n"
              "Kickstand plugin p5 activated." in kernel and "p3" not in kernel, kernel)
    finally:
        tree.remove()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    every_answer(os.path.abspath(parser.parse_args().kickstand))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
