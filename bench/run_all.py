#!/usr/bin/env python3
"""Runs every benchmark program of a build, dag_bench.py and scale_bench.py,
then prints one table: each measurement and its baseline from the same run,
as medians of several repetitions, with their ratio and, where one is set,
the target.

A Google Benchmark program names its pairs in "ratio A / B = x" lines (the
RatioReporter); those lines come from one repetition, so the table takes
the pair names from them and recomputes the ratio from the medians. Lines
that begin with "ldd " (the shared libraries a program loads) are printed
after the table."""

import argparse
import glob
import json
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RATIO_LINE = re.compile(r"^ratio\s+(\S+)\s+/\s+(\S+)\s+=")
COLOUR = re.compile(r"\x1b\[[0-9;]*m")  # the RatioReporter colours whatever the flags say

# Absolute targets, by benchmark: (what, unit, limit) on the median time or
# on a counter.
TARGETS = {
    "BM_EmptyBoot/manual_time": [("peak_MiB", "MiB", 8.0)],
}
SLEEPERS = "BM_Sleepers{}/{}/iterations:1/manual_time"
# Upper limits on a measurement's ratio to its baseline, by pair.
RATIO_TARGETS = {
    ("BM_JsonBootParallel/iterations:2/manual_time",
     "BM_JsonBootSerial/iterations:2/manual_time"): 0.7,
    # A no-op round trip from four threads at once against one thread's:
    # time per round trip, so 1 / 1.5 is 1.5 times the throughput.
    ("BM_NoopRoundTrip/real_time/threads:4", "BM_NoopRoundTrip/real_time/threads:1"): 1 / 1.5,
    # Against the replaced design, a server that handles each connection on
    # its event-loop thread: at least 0.9 times its throughput.
    ("BM_NoopRoundTrip/real_time/threads:1", "BM_SerialServerNoopRoundTrip/real_time"): 1 / 0.9,
}
for size in ("8x500ms", "32x100ms"):
    parallel = SLEEPERS.format("Parallel", size)
    RATIO_TARGETS[(parallel, SLEEPERS.format("WorkPerWorker", size))] = 1.2
    # serial / parallel >= 0.8 x workers
    RATIO_TARGETS[(parallel, SLEEPERS.format("SerialPerWorker", size))] = 1 / 0.8
# Each analysis of a 10,000-plugin boot costs at most twice a dump of the same tree.
for command in ("time", "blame", "critical_chain", "plot", "dot"):
    RATIO_TARGETS[(f"BM_Analyze/{command}/manual_time", "BM_DumpTree/manual_time")] = 2.0
# kickstand's start-up costs a small multiple of a plain C++ hello.
for run, limit in (("BM_HelpOnly", 1.5), ("BM_EmptyBoot", 3.0), ("BM_InvokeDebugPlugin", 4.0)):
    RATIO_TARGETS[(f"{run}/manual_time", "BM_HelloProcess/manual_time")] = limit


def run_program(path, repetitions, out_dir):
    name = os.path.basename(path)
    json_out = os.path.join(out_dir, name + ".json")
    argv = [path, f"--benchmark_repetitions={repetitions}", "--benchmark_min_time=0.05",
            f"--benchmark_out={json_out}", "--benchmark_out_format=json", "--benchmark_color=false"]
    print(f"== {name}", flush=True)
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    with open(os.path.join(out_dir, name + ".txt"), "w") as log:
        log.write(COLOUR.sub("", done.stdout))
    if done.returncode != 0:
        print(done.stdout)
        sys.exit(f"{name} failed with status {done.returncode}")
    lines = COLOUR.sub("", done.stdout).splitlines()
    pairs = [m.groups() for m in map(RATIO_LINE.match, lines) if m]
    libraries = [line for line in lines if line.startswith("ldd ")]
    with open(json_out) as f:
        results = json.load(f)["benchmarks"]
    medians = {r["run_name"]: r for r in results
               if r.get("run_type") == "aggregate" and r.get("aggregate_name") == "median"}
    errors = [r["run_name"] + ": " + r["error_message"] for r in results if r.get("error_occurred")]
    if errors:
        sys.exit(f"{name}: " + "; ".join(errors))
    return pairs, medians, libraries


def script_rows(script, build, out_dir, options):
    """Runs one of the Python benchmarks on the build's kickstand; its rows."""
    print(f"== {script}", flush=True)
    rows_file = os.path.join(out_dir, os.path.splitext(script)[0] + ".json")
    subprocess.run([sys.executable, os.path.join(HERE, script),
                    "--kickstand", os.path.join(build, "kickstand"), "--rows", rows_file] + options,
                   check=True)
    with open(rows_file) as f:
        return json.load(f)


def row(name, value, unit, baseline="", baseline_value=None, target="", ok=None):
    ratio = value / baseline_value if baseline_value else None
    return dict(name=name, value=value, unit=unit, baseline=baseline,
                baseline_value=baseline_value, ratio=ratio, target=target, ok=ok)


def benchmark_rows(program, pairs, medians):
    rows = []
    for name, baseline in pairs:
        if name in medians and baseline in medians:
            a, b = medians[name], medians[baseline]
            scale = UNIT_SECONDS[b["time_unit"]] / UNIT_SECONDS[a["time_unit"]]
            r = row(f"{program}: {name}", a["real_time"], a["time_unit"], baseline,
                    b["real_time"] * scale)
            limit = RATIO_TARGETS.get((name, baseline))
            if limit is not None:
                r.update(target=f"ratio <= {limit:.3g}", ok=r["ratio"] <= limit)
            rows.append(r)
    for name, checks in TARGETS.items():
        if name not in medians:
            continue
        result = medians[name]
        for what, unit, limit in checks:
            value = result["real_time"] if what == "time" else result[what]
            label = f"{program}: {name}" + ("" if what == "time" else f" {what}")
            rows.append(row(label, value, unit, target=f"<= {limit:g} {unit}", ok=value <= limit))
    return rows


UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def print_table(rows):
    print()
    print(f"{'measurement (median)':<64} {'value':>10}      {'baseline (median)':<28} "
          f"{'value':>10} {'ratio':>7}  target")
    print("-" * 140)
    for r in rows:
        base = f"{r['baseline_value']:10.3f}" if r["baseline_value"] is not None else " " * 10
        ratio = f"{r['ratio']:7.3f}" if r["ratio"] is not None else " " * 7
        verdict = {True: "met", False: "MISSED", None: ""}[r["ok"]]
        target = f"{r['target']} {verdict}".strip()
        print(f"{r['name'][:64]:<64} {r['value']:10.3f} {r['unit']:<4} {r['baseline'][:28]:<28} "
              f"{base} {ratio}  {target}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build-bench")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--rounds", type=int, default=5, help="rounds of dag_bench.py")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    out_dir = os.path.join(build, "bench-results")
    os.makedirs(out_dir, exist_ok=True)

    rows, libraries = [], []
    for source in sorted(glob.glob(os.path.join(HERE, "*.cpp"))):
        program = os.path.join(build, "bench", os.path.splitext(os.path.basename(source))[0])
        if os.access(program, os.X_OK):
            pairs, medians, loaded = run_program(program, args.repetitions, out_dir)
            rows += benchmark_rows(os.path.basename(program), pairs, medians)
            libraries += loaded

    rows += script_rows("dag_bench.py", build, out_dir, ["--rounds", str(args.rounds)])
    rows += script_rows("scale_bench.py", build, out_dir, [])

    print_table(rows)
    print()
    print("\n".join(libraries))
    print(f"\nFull output of each program: {out_dir}")


if __name__ == "__main__":
    main()
