#!/usr/bin/env python3
"""ctrlsch check on drawings made to have one problem each.

A clean ladder is drawn with the module ((ylthz), two rows of three
symbols); ezdxf then damages copies of it, one problem a copy. Checked for
each: the exit status (0 clean, 1 problems), that exactly the expected kind
is reported with the damaged entity's handle and its string and cell where
it has one, the text line and the JSON form, and that the checked file's
bytes do not change. A project (settings naming a user folder with its
Sbxl.Qrz) of two drawings that give a designation two models and one
missing drawing reports both (status 1), in the project's order; a project
whose drawings are all missing, a missing file and wrong usage give 2.

Usage: check_test.py PATH/TO/ctrlsch INSTALLATION_DIR.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import ezdxf

CTRLSCH, INSTALLATION = sys.argv[1], sys.argv[2]
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def session_env(folder):
    user = os.path.join(folder, "User")
    os.makedirs(user, exist_ok=True)
    settings = json.load(open(os.path.join(INSTALLATION, "settings.json"), encoding="utf-8"))
    settings["VMQMain"]["VmqUse"] = user
    path = os.path.join(folder, "settings.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(settings, f)
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": folder, "LANG": "C.UTF-8",
           "CTRLSCH_SETTINGS": path}
    for name in ("CTRLSCH_MODULE", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env, path


def run(env, *args):
    p = subprocess.run([CTRLSCH, *args], env=env, capture_output=True, text=True, timeout=60)
    return p.returncode, p.stdout, p.stderr


def check(env, path, json_out=True):
    before = open(path, "rb").read()
    status, out, err = run(env, "check", path, *(["--json"] if json_out else []))
    expect(open(path, "rb").read() == before, f"{path} unchanged by the check")
    return status, (json.loads(out) if json_out and status in (0, 1) else out), err


SCRIPT = """(ylthz)
@type palette count "3"
0,0
@choose palette QF
@choose palette SB-NC
@choose palette KM-COIL
@choose palette SB-NO
@choose palette KM-NO
@choose palette HL-R

U
"""


def copy_xdata(src, dst, apps=("IDPOINT", "YLTHZCS", "TKSY")):
    for app in apps:
        if src.has_xdata(app):
            dst.set_xdata(app, list(src.get_xdata(app)))


def inserts(doc, name):
    return [e for e in doc.modelspace().query("INSERT") if e.dxf.name == name]


def wire_at(doc, a, b):
    for e in doc.modelspace().query("LWPOLYLINE"):
        pts = [tuple(round(c, 2) for c in p) for p in e.get_points("xy")]
        if pts == [a, b]:
            return e
    raise AssertionError(f"no wire {a} {b}")


def variant(folder, clean, name, damage):
    doc = ezdxf.readfile(clean)
    result = damage(doc)
    path = os.path.join(folder, name + ".dxf")
    doc.saveas(path)
    return path, result


def main():
    folder = tempfile.mkdtemp(prefix="ctrlsch_check_")
    try:
        env, settings = session_env(folder)
        script = os.path.join(folder, "ladder.scr")
        open(script, "w", encoding="utf-8").write(SCRIPT)
        clean = os.path.join(folder, "clean.dxf")
        status, out, err = run(env, "run", script, "-o", clean)
        assert status == 0, out + err

        status, report, _ = check(env, clean)
        expect(status == 0 and report["problems"] == [], f"clean drawing: status {status}, {report}")
        expect(report["summary"]["drawings"] == 1 and report["summary"]["problems"] == 0, "clean summary")
        status, text, _ = check(env, clean, json_out=False)
        expect(status == 0 and "发现 0 个问题" in text, f"clean text: {text}")

        layers = {e.dxf.layer for e in ezdxf.readfile(clean).modelspace()}
        element = next(iter(l for l in layers if any(
            e.dxf.layer == l for e in ezdxf.readfile(clean).modelspace().query("INSERT"))))

        def second_symbol(doc):
            qf = inserts(doc, "QF")[0]
            other = doc.modelspace().add_blockref("SB-NC", qf.dxf.insert, dxfattribs={"layer": qf.dxf.layer})
            copy_xdata(qf, other)
            return {qf.dxf.handle, other.dxf.handle}

        def loose_wire(doc):
            w = wire_at(doc, (30.0, -20.0), (18.75, -20.0))
            w.set_points([(30.0, -20.0), (21.0, -20.0)], format="xy")
            return {w.dxf.handle}

        def outside(doc):
            qf = inserts(doc, "QF")[0]
            other = doc.modelspace().add_blockref("QF", (45.0, -75.0), dxfattribs={"layer": qf.dxf.layer})
            copy_xdata(qf, other)
            return {other.dxf.handle}

        def no_xdata(doc):
            e = doc.modelspace().add_blockref("QF", (300.0, 300.0), dxfattribs={"layer": element})
            return {e.dxf.handle}

        def bad_parameters(doc):
            w = wire_at(doc, (30.0, -40.0), (41.25, -40.0))
            w.set_xdata("YLTHZCS", [(1000, "20.00&abc&0.30")])
            return {w.dxf.handle}

        def other_parameters(doc):
            w = wire_at(doc, (30.0, -40.0), (41.25, -40.0))
            w.set_xdata("YLTHZCS", [(1000, "20.00&30.00&0.50&1.00&3&0")])
            return {w.dxf.handle}

        def panel(doc):
            qf = inserts(doc, "QF")[0]
            doc.layers.add("屏面设备")
            coded = doc.modelspace().add_blockref("QF", (500.0, 0.0), dxfattribs={"layer": "屏面设备"})
            coded.set_xdata("PMTBZ", [(1000, "K1&SB1")])
            bare = doc.modelspace().add_blockref("QF", (520.0, 0.0), dxfattribs={"layer": "屏面设备"})
            bare.set_xdata("PMTBZ", [(1000, " &SB2")])
            return {bare.dxf.handle}

        def two_models(doc):
            a, b = inserts(doc, "KM-COIL")[0], inserts(doc, "KM-NO")[0]
            for e, model in ((a, "CJX2-12"), (b, "JZ7-44")):
                e.set_xdata("XMDH", [(1000, "KM1")])
                e.set_xdata("XHGG", [(1000, model)])
            return {b.dxf.handle}

        cases = [
            ("two-symbols", second_symbol, (1, 1)),
            ("loose-wire", loose_wire, (1, 1)),
            ("symbol-outside", outside, None),
            ("damaged-xdata", no_xdata, None),
            ("damaged-xdata", bad_parameters, None),
            ("parameters-differ", other_parameters, None),
            ("panel-no-code", panel, None),
            ("designation-models", two_models, None),
        ]
        for i, (kind, damage, place) in enumerate(cases):
            path, handles = variant(folder, clean, f"{i}-{kind}", damage)
            status, report, err = check(env, path)
            problems = report["problems"] if status in (0, 1) else []
            expect(status == 1, f"{damage.__name__}: status {status} {err}")
            expect([p["kind"] for p in problems] == [kind], f"{damage.__name__}: {problems}")
            if problems:
                p = problems[0]
                expect(p["handle"] in handles, f"{damage.__name__}: handle {p['handle']} not in {handles}")
                expect(p["drawing"] == path and p["message"], f"{damage.__name__}: {p}")
                if place:
                    expect((p["string"], p["cell"]) == place, f"{damage.__name__}: place {p}")
                expect(report["summary"]["by_kind"] == {kind: 1}, f"{damage.__name__}: {report['summary']}")
            status, text, _ = check(env, path, json_out=False)
            lines = text.splitlines()
            expect(status == 1 and len(lines) == 2 and lines[0].startswith(path + ": ")
                   and any(h in lines[0] for h in handles), f"{damage.__name__} text: {text}")

        # A project: two drawings giving KM1 two models, one missing.
        first, _ = variant(folder, clean, "P1", lambda d: two_models(d) and None)
        second, second_handles = variant(folder, clean, "P2", lambda d: [
            (e.set_xdata("XMDH", [(1000, "KM1")]), e.set_xdata("XHGG", [(1000, "CJX2-12")])) for e in inserts(d, "QF")]
            and {e.dxf.handle for e in inserts(d, "QF")})
        # P1 itself already holds KM1 with two models; P2's QF repeats the first model.
        stems = [first[:-4], os.path.join(folder, "missing"), second[:-4]]
        qrz = os.path.join(folder, "User", "Sbxl.Qrz")
        with open(qrz, "w", encoding="utf-8") as f:
            json.dump({"Project": {"Filenm": "&".join(stems), "Filenum": "1&1&1"}}, f)
        status, out, err = run(env, "check", "--project", settings, "--json")
        expect(status == 1, f"project: status {status} {err}")
        report = json.loads(out) if status == 1 else {"problems": [], "summary": {}}
        kinds = [(p["kind"], os.path.basename(p["drawing"])) for p in report["problems"]]
        expect(kinds == [("unreadable-drawing", "missing.dwg"), ("designation-models", "P1.dwg")],
               f"project problems: {kinds}")
        expect(report["summary"].get("drawings") == 3 and report["summary"].get("read") == 2,
               f"project summary: {report['summary']}")

        # P2 with a third model for KM1: a problem in P2 naming P1.
        doc = ezdxf.readfile(second)
        for e in inserts(doc, "QF"):
            e.set_xdata("XHGG", [(1000, "DZ47-63")])
        doc.saveas(second)
        status, out, err = run(env, "check", "--project", settings, "--json")
        report = json.loads(out) if status == 1 else {"problems": []}
        across = [p for p in report["problems"] if p["kind"] == "designation-models" and p["drawing"].endswith("P2.dwg")]
        expect(len(across) == 1 and "P1" in across[0]["message"] and across[0]["handle"] in second_handles,
               f"across drawings: {report['problems']}")

        with open(qrz, "w", encoding="utf-8") as f:
            json.dump({"Project": {"Filenm": os.path.join(folder, "gone"), "Filenum": "1"}}, f)
        status, out, err = run(env, "check", "--project", settings)
        expect(status == 2 and "无法打开文件" in out, f"project without a readable drawing: {status} {out}")

        for args in ([], ["a.dxf", "b.dxf"], ["--project"], ["a.dxf", "--project", settings], ["--bogus", clean]):
            status, _, err = run(env, "check", *args)
            expect(status == 2 and "usage: ctrlsch check" in err, f"usage {args}: status {status} {err}")
        status, _, err = run(env, "check", os.path.join(folder, "none.dxf"))
        expect(status == 2 and "usage:" not in err, f"missing drawing: {status} {err}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
