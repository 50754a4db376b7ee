#!/usr/bin/env python3
"""What `cmake --install` and `make package` put on a host.

  install_test.py install --build DIR --source DIR --version V
      installs the build into a DESTDIR with two prefixes and checks the
      layout, the man pages and the bash completion;
  install_test.py package --build DIR --source DIR --version V
      builds the Debian package, checks its name, fields and lintian's
      verdict, unpacks it and boots the demo's plugins with the unpacked
      kickstand, the native one built with the unpacked SDK alone.

Exits with 77 (skipped) when a tool that the check needs is missing."""

import argparse
import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from tree_processes import await_quiet  # noqa: E402

SKIPPED = 77
PR_SET_CHILD_SUBREAPER = 36

# The installed files and their modes: paths with a leading "/" are fixed
# host paths, the others are below the prefix; "/" at the end marks an empty
# directory.
LAYOUT = {
    "/etc/halvex/kickstand/debug.conf": 0o644,
    "/usr/lib/halvex/kickstand/nativeExecutor": 0o755,
    "/usr/libexec/kickstand/plugins/": 0o755,
    "sbin/kickstand": 0o755,
    "bin/kickstand-analyze": 0o755,
    "include/kickstand/native_plugin.h": 0o644,
    "share/pkgconfig/kickstand-plugin.pc": 0o644,
    "share/man/man8/kickstand.8.gz": 0o644,
    "share/man/man5/kickstand-plugins.5.gz": 0o644,
    "share/man/man1/kickstand-analyze.1.gz": 0o644,
    "share/bash-completion/completions/kickstand": 0o644,
    "share/doc/kickstand/copyright": 0o644,
    "share/doc/kickstand/changelog.gz": 0o644,
    "share/lintian/overrides/kickstand": 0o644,
}
PKG_CONFIG_FILE = "share/pkgconfig/kickstand-plugin.pc"
# A value each option that refuses "x" takes.
SAMPLE_VALUES = {"--plugin-timeout=": "5"}
# Options that kickstand takes but its usage text does not list.
UNLISTED_OPTIONS = {"--plugin-directory", "--run-once"}
DEMO_PLUGINS = ["network", "storage", "services", "firewall", "clock", "banner", "welcome"]


class Checks:
    def __init__(self):
        self.failures = 0

    def __call__(self, passed, what, detail=""):
        print(("ok:     " if passed else "FAILED: ") + what)
        if not passed:
            self.failures += 1
            if detail:
                print("  " + str(detail).replace("\n", "\n  "))
        return passed


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def expected_tree(prefix):
    return {(path if path.startswith("/") else f"{prefix}/{path}").lstrip("/"): mode
            for path, mode in LAYOUT.items()}


def tree(root):
    """Relative path -> mode of every file and empty directory below root."""
    found = {}
    for directory, subdirectories, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        if not subdirectories and not files and relative != ".":
            found[relative + "/"] = os.stat(directory).st_mode & 0o7777
        for name in files:
            found[os.path.normpath(os.path.join(relative, name))] = \
                os.lstat(os.path.join(directory, name)).st_mode & 0o7777
    return found


def install(build, prefix, destdir):
    result = run(["cmake", "--install", build, "--prefix", prefix],
                 env=dict(os.environ, DESTDIR=destdir))
    if result.returncode != 0:
        sys.exit(f"cmake --install failed:\n{result.stdout}{result.stderr}")


def check_layout(check, build, scratch):
    for prefix in ("/usr", "/opt/kickstand"):
        destdir = os.path.join(scratch, prefix.replace("/", "_"))
        install(build, prefix, destdir)
        found, expected = tree(destdir), expected_tree(prefix)
        check(found == expected, f"--prefix {prefix} installs exactly the layout",
              {"missing": sorted(expected.keys() - found.keys()),
               "unexpected": sorted(found.keys() - expected.keys()),
               "modes": sorted(p for p in found.keys() & expected.keys()
                               if found[p] != expected[p])})
        with open(os.path.join(destdir, prefix.lstrip("/"), PKG_CONFIG_FILE)) as f:
            check(f"prefix={prefix}\n" in f.read(), f"the pkg-config file names {prefix}")


def options_of_usage(usage):
    return set(re.findall(r"^(?: -h,|    )(--[a-z-]+)", usage, re.M)) | {"-h"}


def completion(script, line, root):
    """The candidates bash completion offers for the command line."""
    program = f"""compopt() {{ :; }}
source {script}
COMP_LINE='{line}' COMP_POINT={len(line)}
_kickstand
printf '%s\\n' "${{COMPREPLY[@]}}" """
    result = run(["bash", "-c", program], env=dict(os.environ, KICKSTAND_ROOT=root))
    return result.stdout.split()


def check_manpages(check, root, version, options):
    pages = [os.path.join(root, "usr", path) for path in LAYOUT if path.startswith("share/man/")]
    for page in pages:
        result = run(["man", "--warnings", "-l", page], env=dict(os.environ, MANWIDTH="80"))
        check(result.returncode == 0 and not result.stderr,
              f"man -l {os.path.basename(page)} renders without warnings", result.stderr)
        check(f"kickstand {version}" in result.stdout,
              f"{os.path.basename(page)} carries version {version}")
    program_page = os.path.join(root, "usr/share/man/man8/kickstand.8.gz")
    text = run(["man", "-l", program_page], env=dict(os.environ, MANWIDTH="80")).stdout
    section = text[text.index("\nOPTIONS\n"):text.index("\nENVIRONMENT\n")]
    undocumented = [o for o in options
                    if not re.search(rf"^ {{7}}(-h, )?{o.rstrip('=')}\b", section, re.M)]
    check(not undocumented, "kickstand(8) documents every option", undocumented)


def check_completion(check, root, script, offered):
    kickstand = os.path.join(root, "usr/sbin/kickstand")
    usage = run([kickstand, "--help"]).stdout
    names = {option.rstrip("=") for option in offered}
    expected = options_of_usage(usage) | UNLISTED_OPTIONS
    check(names == expected, "completion offers every option",
          {"missing": sorted(expected - names), "unknown": sorted(names - expected)})
    rejected = []
    for option in offered:
        given = option + SAMPLE_VALUES.get(option, "x") if option.endswith("=") else option
        result = run([kickstand, given, "--help"], env=dict(os.environ, KICKSTAND_ROOT=root))
        if result.returncode != 0 or result.stdout != usage:
            rejected.append(given)
    check(offered and not rejected, "kickstand takes every option completion offers", rejected)
    plugins = os.path.join(root, "usr/libexec/kickstand/plugins")
    open(os.path.join(plugins, "libclock.so"), "w").close()
    open(os.path.join(plugins, "network.json"), "w").close()
    for line, expected in [("kickstand --method=", ["start", "apply_host_profile", "stop"]),
                           ("kickstand --daemon=", ["wait", "nowait"]),
                           ("kickstand --order=h", ["height", "history"]),
                           ("kickstand --plugin=network.json,", ["network.json,libclock.so",
                                                                 "network.json,network.json"]),
                           ("kickstand --disable-plugins=c", ["clock"])]:
        got = completion(script, line, root)
        check(sorted(got) == sorted(expected), f"completion of '{line}'", got)


def require(*tools):
    for tool in tools:
        if not shutil.which(tool):
            print(f"skipped: {tool} is missing (scripts/install-deps.sh installs it)")
            sys.exit(SKIPPED)


def check_install(args, check, scratch):
    require("man")
    check_layout(check, args.build, scratch)
    root = os.path.join(scratch, "_usr")
    script = os.path.join(root, "usr/share/bash-completion/completions/kickstand")
    offered = completion(script, "kickstand -", root)
    check_completion(check, root, script, offered)
    check_manpages(check, root, args.version, offered)


def build_package(build, scratch):
    result = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", scratch])
    if result.returncode != 0:
        sys.exit(f"cpack failed:\n{result.stdout}{result.stderr}")
    return [os.path.join(scratch, n) for n in os.listdir(scratch) if n.endswith(".deb")]


def check_control_fields(check, deb, version):
    """Returns the packages of the Depends field."""
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(os.path.basename(deb) == f"kickstand_{version}_{arch}.deb", "package file name",
          os.path.basename(deb))
    conffiles = run(["dpkg-deb", "--info", deb, "conffiles"]).stdout
    check(conffiles.split() == ["/etc/halvex/kickstand/debug.conf"], "debug.conf is a conffile",
          conffiles)
    depends = run(["dpkg-deb", "--field", deb, "Depends"]).stdout
    packages = {re.sub(r"[ (].*", "", d.strip()) for d in depends.split(",")}
    return packages


def packages_with(library):
    """The installed packages that hold the library, and what they provide."""
    owners = run(["dpkg", "--search", "*/" + library]).stdout
    names = {line.split(":")[0] for line in owners.splitlines()}
    provided = run(["dpkg-query", "--show", "--showformat=${Provides},", *names]).stdout
    return names | {re.sub(r" .*", "", p.strip()) for p in provided.split(",") if p.strip()}


def check_dependencies(check, root, packages):
    """Every shared library the programs need comes from a package that the
    package depends on."""
    unmet = []
    for program in ("usr/sbin/kickstand", "usr/lib/halvex/kickstand/nativeExecutor"):
        dynamic = run(["readelf", "--dynamic", os.path.join(root, program)]).stdout
        for library in re.findall(r"\(NEEDED\).*\[(.+)\]", dynamic):
            names = packages_with(library)
            if not names & packages:
                unmet.append(f"{program}: {library} ({', '.join(sorted(names))})")
    check(not unmet, "Depends covers every needed library", unmet)


def build_demo_plugin(check, root, source):
    """The demo's native plugin, built with the README's command and nothing
    but the unpacked header and pkg-config file."""
    env = dict(os.environ, PKG_CONFIG_LIBDIR=os.path.join(root, "usr/share/pkgconfig"),
               PKG_CONFIG_SYSROOT_DIR=root)
    cflags = run(["pkg-config", "--cflags", "kickstand-plugin"], env=env).stdout.split()
    output = os.path.join(root, "usr/libexec/kickstand/plugins/libclock.so")
    result = run(["cc", "-shared", *cflags, os.path.join(source, "examples/native/clock.c"),
                  "-o", output])
    check(result.returncode == 0, "the demo's native plugin builds with the unpacked SDK",
          result.stderr)


def boot_demo(check, root, source):
    shutil.copytree(os.path.join(source, "examples/host"), root, dirs_exist_ok=True)
    os.makedirs(os.path.join(root, "bootbank"))
    # Files of the demo tree name its own programs as @ROOT@/...
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            if name.endswith((".json", ".conf")):
                with open(path) as f:
                    text = f.read()
                with open(path, "w") as f:
                    f.write(text.replace("@ROOT@", root))
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    try:
        result = run([os.path.join(root, "usr/sbin/kickstand"), "--init", "--parallel"],
                     env=dict(os.environ, KICKSTAND_ROOT=root), timeout=120)
    finally:
        left = await_quiet(root, 5)
    check(result.returncode == 0, "the unpacked kickstand boots the demo", result.stdout[-2000:])
    check(not left, "the boot leaves no process behind", left)
    with open(os.path.join(root, "var/log/kernel.log")) as f:
        kernel = f.read().splitlines()
    failed = [p for p in DEMO_PLUGINS if f"Kickstand plugin {p} activated." not in kernel]
    check(not failed, "every demo plugin, the native one too, is activated", failed)
    with open(os.path.join(root, "var/log/demo-activity.log")) as f:
        activity = f.read().splitlines()
    check(activity and "debug welcome" in activity[-1], "the welcome entry runs last", activity)


def check_package(args, check, scratch):
    require("dpkg-deb", "lintian")
    debs = build_package(args.build, os.path.join(scratch, "cpack"))
    if not check(len(debs) == 1, "cpack builds one package", debs):
        return
    packages = check_control_fields(check, debs[0], args.version)
    lintian = run(["lintian", debs[0]])
    complaints = [line for line in lintian.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check(lintian.returncode == 0 and not complaints, "lintian reports no error or warning",
          lintian.stdout)
    root = os.path.join(scratch, "root")
    run(["dpkg-deb", "-x", debs[0], root], check=True)
    check(tree(root) == expected_tree("/usr"), "the package holds exactly the /usr layout")
    check_dependencies(check, root, packages)
    build_demo_plugin(check, root, args.source)
    boot_demo(check, root, args.source)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("check", choices=["install", "package"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    check = Checks()
    # Short: the control socket path below the host root must fit a UNIX address.
    scratch = tempfile.mkdtemp(prefix="kspkg.", dir="/tmp")
    try:
        {"install": check_install, "package": check_package}[args.check](args, check, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    sys.exit(1 if check.failures else 0)


if __name__ == "__main__":
    main()
