#!/usr/bin/env python3
"""Renders exact-mode drawings from the SVG and from the DXF and requires their ink to overlap.

usage: exact_visual_check.py [--default-reading] [--with OPTION]... CONVERTER MEASURE_DIR CASE_DIR MIN_IOU CASE...

Each CASE_DIR/CASE.svg is converted with --exact (without it under --default-reading), and with each
OPTION given, into a scratch folder and judged by MEASURE_DIR/compare, which prints the overlap as JSON. Prints "SKIP: ..." and exits 0 when the
judges or the packages they need are not installed.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile


def skip(reason):
    print("SKIP: " + reason)
    return 0


def main(argv):
    args = argv[1:]
    options = ["--exact"]
    while args[:1] in (["--default-reading"], ["--with"]):
        if args[0] == "--default-reading":
            options.remove("--exact")
            args = args[1:]
        elif len(args) >= 2:
            options.append(args[1])
            args = args[2:]
        else:
            break
    if len(args) < 5:
        print(__doc__)
        return 2
    converter, measure, cases_dir, min_iou = args[0], args[1], args[2], float(args[3])
    cases = args[4:]
    compare = os.path.join(measure, "compare")
    if not os.path.isfile(compare):
        return skip("no measure folder at " + measure)
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    probe = subprocess.run([python, "-c", "import ezdxf, matplotlib, PIL, numpy"], capture_output=True)
    if probe.returncode != 0:
        return skip("python3-ezdxf, python3-matplotlib, python3-pil or python3-numpy missing "
                    "(scripts/install-deps.sh installs them)")
    if shutil.which("rsvg-convert") is None:
        return skip("rsvg-convert missing (Debian package librsvg2-bin)")

    failures = []
    with tempfile.TemporaryDirectory(prefix="orbelin-visual-") as scratch:
        for case in cases:
            svg = os.path.join(cases_dir, case + ".svg")
            dxf = os.path.join(scratch, case + ".dxf")
            converted = subprocess.run([converter, "--quiet"] + options + [svg, dxf], capture_output=True, text=True)
            if converted.returncode != 0:
                failures.append("%s: conversion failed: %s" % (case, converted.stderr.strip()))
                continue
            judged = subprocess.run([python, compare, "--svg", svg, "--dxf", dxf], capture_output=True, text=True,
                                    cwd=scratch)
            try:
                iou = float(json.loads(judged.stdout)["iou"])
            except (ValueError, KeyError):
                failures.append("%s: no overlap from compare: %s" % (case, (judged.stderr or judged.stdout).strip()))
                continue
            print("%-20s iou %.4f" % (case, iou))
            if iou <= min_iou:
                failures.append("%s: overlap %.4f is not above %.2f" % (case, iou, min_iou))
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
