#!/usr/bin/env python3
"""Reads DXF files with ezdxf, a reader independent of the one that wrote them, and runs its audit.

    ezdxf_audit.py FILE.dxf...
    ezdxf_audit.py --convert ORBELIN_CONVERT [--no-fill] [--exact] [--text FORM] [--units LIST]
                   [--curves HOW [--both-readings]] FILE.svg...

With --convert each SVG file is first converted into a temporary folder by the given orbelin-convert,
which must succeed; --exact, --text FORM (entities or outlines) and --curves HOW (flatten or native)
are handed on to it. With --units (a comma-separated list such as mm,cm,in,px) each file is converted
once per unit, and the header must declare the unit ($INSUNITS); with --both-readings each file is
converted once as read by default and once with --exact. Exits 0 when every file loads and the audit
reports no error, 1 otherwise (each
error is printed), 2 on a usage error, and 77 when ezdxf is not installed (the test is then skipped).
Fixes that the audit makes on its own are listed but do not fail: dxflib writes its objects section
without owner handles, which every reader restores.
"""

import os
import subprocess
import sys
import tempfile

SKIP = 77


# The $INSUNITS each --units value declares; a CSS pixel has no DXF unit.
INSUNITS = {"mm": 4, "cm": 5, "in": 1, "px": 0}


def audit(path, label=None, units=None):
    label = label or path
    import ezdxf
    from ezdxf.lldxf.const import DXFError

    try:
        doc = ezdxf.readfile(path)
    except (DXFError, OSError, UnicodeDecodeError, ValueError) as error:
        print(f"{label}: ezdxf cannot read it: {error}")
        return False
    if units is not None:
        declared = doc.header.get("$INSUNITS")
        if declared != INSUNITS[units]:
            print(f"{label}: --units={units} declares $INSUNITS {declared}, not {INSUNITS[units]}")
            return False
    auditor = doc.audit()
    fixes = {}
    for fix in auditor.fixes:
        fixes[fix.code] = fixes.get(fix.code, 0) + 1
    summary = ", ".join(f"{count} x {int(code)}" for code, count in sorted(fixes.items()))
    entities = len(doc.modelspace())
    if auditor.has_errors:
        print(f"{label}: {len(auditor.errors)} audit errors ({entities} entities)")
        for error in auditor.errors:
            print(f"  error {int(error.code)}: {error.message}")
        return False
    print(f"{label}: sound, {entities} entities" + (f"; fixes by the reader: {summary}" if summary else ""))
    return True


def main(argv):
    args = argv[1:]
    converter = None
    fill = True
    unit_list = [None]
    extra = []
    readings = [[]]
    if args[:1] == ["--convert"]:
        if len(args) < 2:
            print(__doc__)
            return 2
        converter = args[1]
        args = args[2:]
        while args[:1] in (["--no-fill"], ["--exact"], ["--text"], ["--units"], ["--curves"],
                           ["--both-readings"]):
            flag = args[0]
            if flag == "--no-fill":
                fill = False
            elif flag == "--exact":
                extra.append("--exact")
            elif flag == "--both-readings":
                readings = [[], ["--exact"]]
            elif flag in ("--text", "--curves"):
                forms = ("entities", "outlines") if flag == "--text" else ("flatten", "native")
                if len(args) < 2 or args[1] not in forms:
                    print(__doc__)
                    return 2
                extra.append(f"{flag}={args[1]}")
                args = args[1:]
            else:
                if len(args) < 2 or any(unit not in INSUNITS for unit in args[1].split(",")):
                    print(__doc__)
                    return 2
                unit_list = args[1].split(",")
                args = args[1:]
            args = args[1:]
    if not args:
        print(__doc__)
        return 2
    try:
        import ezdxf  # noqa: F401
    except ImportError:
        print("ezdxf is not installed (Debian: python3-ezdxf): audit skipped")
        return SKIP

    ok = True
    with tempfile.TemporaryDirectory(prefix="orbelin-audit-") as folder:
        for path in args:
            if converter is None:
                ok = audit(path) and ok
                continue
            for units, reading in [(u, r) for u in unit_list for r in readings]:
                stem = os.path.splitext(os.path.basename(path))[0]
                output = os.path.join(folder, stem + (f"-{units}" if units else "") + "".join(reading) + ".dxf")
                command = [converter, "--fill" if fill else "--no-fill"] + extra + reading
                if units:
                    command.append(f"--units={units}")
                command += [path, output]
                label = " ".join([path] + extra + reading + ([f"--units={units}"] if units else []))
                result = subprocess.run(command, capture_output=True, text=True, errors="replace")
                if result.returncode != 0:
                    print(f"{label}: conversion failed ({result.returncode}): {result.stderr.strip()}")
                    ok = False
                    continue
                ok = audit(output, label, units) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
