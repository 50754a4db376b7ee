#!/usr/bin/env python3
"""Boots a tree of 500 plugins (499 debug plugins, one of them with a name
full of characters that XML and Graphviz treat specially, and a JSON plugin
whose command fails), then checks
kickstand-analyze's outputs with the tools people use on them: the SVG with
an XML parser and librsvg's renderer, the Graphviz text with Graphviz's dot.
Also checks that no two texts of the picture overlap, measured with the
advance of the monospace fonts a renderer picks (0.6 em)."""

import argparse
import ctypes
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from tree_processes import await_quiet  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
ODD_NAME = 'odd "name" & <tag> \\ \u00e9'
PLUGINS, LAYERS = 500, 20


def write_tree(root):
    """PLUGINS plugins in LAYERS layers, each requiring one to three
    barriers of the layer before; the JSON plugin has the last place."""
    rng = random.Random(15)
    names = [f"p{i:03d}" for i in range(PLUGINS)]
    names[137] = ODD_NAME
    width = PLUGINS // LAYERS
    lines = []
    for i, name in enumerate(names):
        above = names[max(0, i // width - 1) * width:i // width * width]
        requires = ",".join(f"b{j}" for j in sorted(
            names.index(n) for n in rng.sample(above, min(len(above), rng.randint(1, 3)))))
        lines.append(f"{name}:{requires or ' '}:b{i}:true\n")
    for directory in ("etc/halvex/kickstand", "usr/libexec/kickstand/plugins", "bootbank"):
        os.makedirs(os.path.join(root, directory), exist_ok=True)
    with open(os.path.join(root, "etc/halvex/kickstand/debug.conf"), "w") as conf:
        conf.writelines(lines[:-1])
    with open(os.path.join(root, "usr/libexec/kickstand/plugins/notes.txt"), "w") as notes:
        notes.write("discovery skips this file and says so; the analysis keeps quiet\n")
    with open(os.path.join(root, "usr/libexec/kickstand/plugins/broken.json"), "w") as plugin:
        plugin.write('{"metadata": {"version": 1, "requires": ["b250"], "provides": []},'
                     ' "operations": {"start": ["no such command"]}}')


def run(argv, root, check=True):
    done = subprocess.run(argv, env=dict(os.environ, KICKSTAND_ROOT=root), capture_output=True)
    if check and done.returncode != 0:
        sys.exit(f"{' '.join(argv)} exited with {done.returncode}: {done.stderr.decode()}")
    return done


def text_boxes(svg):
    """(left, top, right, bottom, text) of every text element."""
    boxes = []
    size = float(svg.get("font-size"))
    for text in svg.iter(SVG + "text"):
        content = "".join(text.itertext())
        width = 0.6 * size * len(content)
        x, y = float(text.get("x")), float(text.get("y"))
        left = x - width / 2 if text.get("text-anchor") == "middle" else x
        boxes.append((left, y - 0.8 * size, left + width, y + 0.2 * size, content))
    return boxes


def overlaps(boxes):
    boxes = sorted(boxes, key=lambda b: (b[1], b[0]))
    found = []
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            if b[1] >= a[3]:
                break
            if b[0] < a[2] and a[0] < b[2]:
                found.append((a[4], b[4]))
    return found


def check_svg(path, png):
    svg = ElementTree.parse(path).getroot()
    assert svg.tag == SVG + "svg" and svg.get("version") == "1.1", svg.tag
    for element in svg.iter():
        assert element.tag.split("}")[1] not in ("script", "image", "foreignObject", "use"), element
        assert not any(key.endswith("href") for key in element.keys()), element.attrib
    titles = ["".join(t.itertext()) for t in svg.iter(SVG + "title")]
    assert len(titles) == PLUGINS, len(titles)
    assert any(t.startswith(ODD_NAME + " (debug)") for t in titles), "odd name lost"
    assert any(t.startswith("broken (JSON)") and "failed: " in t for t in titles), "no failure"
    assert overlaps(text_boxes(svg)) == [], overlaps(text_boxes(svg))[:5]
    subprocess.run(["rsvg-convert", path, "-o", png], check=True)
    with open(png, "rb") as picture:
        header = picture.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    width, height = struct.unpack(">II", header[16:24])
    assert (str(width), str(height)) == (svg.get("width"), svg.get("height")), (width, height)


def check_dot(path, out):
    done = subprocess.run(["dot", "-Tsvg", path, "-o", out], capture_output=True, text=True)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    labels = "".join(ElementTree.parse(out).getroot().itertext())
    assert ODD_NAME in labels, "odd name lost in the graph"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kickstand", required=True)
    parser.add_argument("--analyze", required=True)
    parser.add_argument("--keep", help="leave the outputs in this directory")
    args = parser.parse_args()
    libc = ctypes.CDLL(None)
    libc.prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER: reap the command executor
    root = tempfile.mkdtemp(prefix="/tmp/ka.")
    out = args.keep or root
    try:
        write_tree(root)
        run([args.kickstand, "--parallel"], root)
        await_quiet(root, 5)
        for command in ("time", "blame", "critical-chain", "plot", "dot", "verify"):
            done = run([args.analyze, command], root)
            assert done.stderr == b"", (command, done.stderr)
            with open(os.path.join(out, command + ".txt"), "wb") as f:
                f.write(done.stdout)
        time_line = open(os.path.join(out, "time.txt")).read()
        assert re.fullmatch(r"Boot: kernel \d+\.\d{3}s \+ plugins \d+\.\d{3}s = \d+\.\d{3}s "
                            r"\(500 plugins, 1 failed, \d+ workers\)\n", time_line), time_line
        blame = open(os.path.join(out, "blame.txt")).read().splitlines()
        assert len(blame) == PLUGINS and sum("(failed)" in b for b in blame) == 1, blame[:3]
        assert open(os.path.join(out, "verify.txt")).read() == "no problems found\n"
        check_svg(os.path.join(out, "plot.txt"), os.path.join(out, "plot.png"))
        check_dot(os.path.join(out, "dot.txt"), os.path.join(out, "dot.svg"))
    finally:
        await_quiet(root, 1)
        shutil.rmtree(root, ignore_errors=True)
    print("kickstand-analyze: SVG, PNG and Graphviz outputs of a 500-plugin boot check out")


if __name__ == "__main__":
    main()
