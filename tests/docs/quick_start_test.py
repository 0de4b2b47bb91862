#!/usr/bin/env python3
"""Runs the README's quick start as it stands, in an empty folder whose
`build` is the build tree under test and whose HOME is the folder itself,
then checks what it made: the drawing holds the three symbols chosen by
name, wired into one string, and the picture was written."""
import os
import subprocess
import sys
import tempfile

import ezdxf

MARKER = "<!-- quick-start"


def quick_start(readme):
    lines = open(readme, encoding="utf-8").read().split("\n")
    start = next(i for i, l in enumerate(lines) if l.startswith(MARKER))
    assert lines[start + 1].startswith("```"), "the quick start block follows its marker"
    end = next(i for i in range(start + 2, len(lines)) if lines[i].startswith("```"))
    return "\n".join(lines[start + 2:end]) + "\n"


def main(source, build):
    script = quick_start(os.path.join(source, "README.md"))
    with tempfile.TemporaryDirectory() as home:
        os.symlink(build, os.path.join(home, "build"))
        env = {k: v for k, v in os.environ.items() if not k.startswith("CTRLSCH_")}
        env["HOME"] = home
        run = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", script], cwd=home, env=env,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=240)
        out = run.stdout.decode("utf-8", "replace") + run.stderr.decode("utf-8", "replace")
        failures = []
        if run.returncode != 0:
            failures.append(f"the quick start ended with status {run.returncode}")
        for bad in ("** ", "错误", "无法"):
            if bad in out:
                failures.append(f"the transcript says {bad!r}")
        dxf = os.path.join(home, "starter.dxf")
        svg = os.path.join(home, "starter.svg")
        if not os.path.isfile(svg) or os.path.getsize(svg) == 0:
            failures.append("no starter.svg")
        if os.path.isfile(dxf):
            msp = ezdxf.readfile(dxf).modelspace()
            inserts = sorted(e.dxf.name for e in msp.query("INSERT"))
            if inserts != ["KM-COIL", "SB-NC", "SB-NO"]:
                failures.append(f"the drawing's symbols are {inserts}")
            ys = {round(e.dxf.insert.y, 6) for e in msp.query("INSERT")}
            if len(ys) != 1:
                failures.append(f"the symbols are not on one string: {sorted(ys)}")
            if len(msp.query("LWPOLYLINE")) < 6:
                failures.append("the symbols have no wires")
        else:
            failures.append("no starter.dxf")
        if failures:
            print(out)
            print("\n".join(failures))
            return 1
        print("quick start: 3 symbols on one string, starter.svg written")
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
