#!/usr/bin/env python3
"""Reads DXF files with ezdxf, a reader independent of the one that wrote them, and runs its audit.

    ezdxf_audit.py FILE.dxf...
    ezdxf_audit.py --convert ORBELIN_CONVERT [--no-fill] FILE.svg...

With --convert each SVG file is first converted into a temporary folder by the given orbelin-convert,
which must succeed. Exits 0 when every file loads and the audit reports no error, 1 otherwise (each
error is printed), 2 on a usage error, and 77 when ezdxf is not installed (the test is then skipped).
Fixes that the audit makes on its own are listed but do not fail: dxflib writes its objects section
without owner handles, which every reader restores.
"""

import os
import subprocess
import sys
import tempfile

SKIP = 77


def audit(path, label=None):
    label = label or path
    import ezdxf
    from ezdxf.lldxf.const import DXFError

    try:
        doc = ezdxf.readfile(path)
    except (DXFError, OSError, UnicodeDecodeError, ValueError) as error:
        print(f"{label}: ezdxf cannot read it: {error}")
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
    if args[:1] == ["--convert"]:
        if len(args) < 2:
            print(__doc__)
            return 2
        converter = args[1]
        args = args[2:]
        if args[:1] == ["--no-fill"]:
            fill = False
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
            output = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + ".dxf")
            command = [converter, "--fill" if fill else "--no-fill", path, output]
            result = subprocess.run(command, capture_output=True, text=True, errors="replace")
            if result.returncode != 0:
                print(f"{path}: conversion failed ({result.returncode}): {result.stderr.strip()}")
                ok = False
                continue
            ok = audit(output, path) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
