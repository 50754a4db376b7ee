"""Rows of the tables that the Python benchmarks print and hand to
run_all.py: a measurement, its baseline from the same run, their ratio and
the target the ratio must meet, if any."""

import json


def row(name, value, unit, baseline="", baseline_value=None, target="", limit=None):
    ratio = value / baseline_value if baseline_value else None
    ok = None if limit is None or ratio is None else ratio <= limit
    return dict(name=name, value=value, unit=unit, baseline=baseline,
                baseline_value=baseline_value, ratio=ratio, target=target, ok=ok)


def print_and_save(rows, path, name_width):
    """Prints the rows; with a path, writes them there as JSON too."""
    for r in rows:
        base = f"/ {r['baseline']:<28} {r['baseline_value']:9.3f} = {r['ratio']:6.3f}" if r["ratio"] else r["baseline"]
        verdict = {True: "met", False: "MISSED", None: ""}[r["ok"]]
        print(f"{r['name']:<{name_width}} {r['value']:9.3f} {r['unit']:<3} {base}  {r['target']} {verdict}")
    if path:
        with open(path, "w") as out:
            json.dump(rows, out)
