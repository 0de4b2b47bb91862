#!/usr/bin/python3
"""ctrlsch table on a generated project of three drawings.

The rows of every format are compared with the module's own rows, got by
running (esbbtj 1) and (esbbtj 0) in `ctrlsch run` and reading the printed
lists back: the XLSX read with openpyxl (the project's sheet and each
drawing's, quantities as numbers, the header frozen), the CSV (byte-order
mark, CRLF, RFC 4180 quoting of a model with a comma and a quote), the JSON
validated against docs/table.schema.json. Also: the missing KM4 of KM1,
KM2, KM3, KM5; a designation with two models in two drawings named with
both; the same output on one and on two reading threads; an unreadable
drawing (exit 2) and a project the module cannot read (exit 1) leaving an
existing OUT as it was; wrong words (exit 2).

Usage: table_test.py PATH/TO/ctrlsch INSTALLATION_DIR SCHEMA.json
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

import ezdxf
import jsonschema
import openpyxl

PROGRAM, INSTALLATION, SCHEMA = sys.argv[1:4]
ELEMENT_LAYER = "电气元件"
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAILED:", what)


def drawing(path, items):
    """A DXF whose element layer holds one block reference per item
    (designation, model) with the equipment data."""
    doc = ezdxf.new("R2010")
    for app in ("XMDH", "XHGG"):
        doc.appids.new(app)
    doc.layers.new(ELEMENT_LAYER)
    doc.blocks.new("EQ").add_line((0, 0), (1, 0))
    msp = doc.modelspace()
    for n, (designation, model) in enumerate(items):
        ref = msp.add_blockref("EQ", (10 * n, 0), dxfattribs={"layer": ELEMENT_LAYER})
        ref.set_xdata("XMDH", [(1000, designation)])
        ref.set_xdata("XHGG", [(1000, model)])
    doc.saveas(path)


def environment(folder, settings):
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": folder,
        "LANG": "C.UTF-8",
        "CTRLSCH_SETTINGS": settings,
    }
    for name in ("CTRLSCH_MODULE", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env


def run(env, *args):
    return subprocess.run([PROGRAM, *args], env=env, capture_output=True, timeout=60)


def lisp_strings(text):
    """The lists of strings in an AutoLISP printed value, as nested lists."""
    stack, i = [[]], 0
    while i < len(text):
        c = text[i]
        if c == "(":
            stack.append([])
        elif c == ")":
            done = stack.pop()
            stack[-1].append(done)
        elif c == '"':
            s, i = "", i + 1
            while text[i] != '"':
                if text[i] == "\\":
                    i += 1
                    s += {"n": "\n", "r": "\r", "t": "\t"}.get(text[i], text[i])
                else:
                    s += text[i]
                i += 1
            stack[-1].append(s)
        elif text.startswith("nil", i):
            stack[-1].append([])
            i += 2
        i += 1
    return stack[0]


def module_rows(env, folder, call, dxf=None):
    """The rows a LISP call of the module gives, printed by ctrlsch run."""
    script = os.path.join(folder, "rows.scr")
    with open(script, "w", encoding="utf-8") as f:
        f.write(call + "\n")
    r = run(env, "run", script, *([dxf] if dxf else []))
    out = r.stdout.decode("utf-8")
    check(r.returncode == 0, "ctrlsch run %s: %s" % (call, r.stderr.decode("utf-8", "replace")))
    # The value is the last line printed after the call's echo.
    printed = out[out.index(call) + len(call):].split("\n命令:")[0].strip().split("\n")
    values = lisp_strings(printed[-1])
    rows = values[0] if values else []
    # A table of one row is handed over as the row itself.
    if rows and isinstance(rows[0], str):
        rows = [rows]
    return rows


def sheet_rows(ws):
    return [list(r) for r in ws.iter_rows(min_row=2, values_only=True)]


def as_sheet(rows):
    """Module rows as a sheet shows them: designations, name, model,
    quantity (a number)."""
    return [[r[0], r[3], r[4], int(r[5])] for r in rows]


def main():
    with tempfile.TemporaryDirectory() as folder:
        user = os.path.join(folder, "User")
        os.mkdir(user)
        with open(os.path.join(INSTALLATION, "settings.json"), encoding="utf-8") as f:
            settings = json.load(f)
        settings["VMQMain"]["VmqUse"] = user
        settings_path = os.path.join(folder, "settings.json")
        with open(settings_path, "w", encoding="utf-8") as f:
            json.dump(settings, f)
        env = environment(folder, settings_path)

        quoted = 'AD16-22,"红"'
        a = os.path.join(folder, "A")
        b = os.path.join(folder, "B")
        c = os.path.join(folder, "C")
        drawing(a + ".dxf", [("KM1", "CJX2"), ("KM2", "CJX2"), ("KM3", "CJX2"), ("KM5", "CJX2"), ("QF1", "DZ47")])
        drawing(b + ".dxf", [("KM1", "CJX1"), ("HL1", quoted), ("HL2", quoted), ("QF2", "DZ47")])
        drawing(c + ".dxf", [("SB1", "LA39")])
        with open(os.path.join(user, "Sbxl.Qrz"), "w", encoding="utf-8") as f:
            json.dump({"Project": {"Filenm": "&".join([a, b, c]), "Filenum": "2&1&3"}}, f)

        project = module_rows(env, folder, "(esbbtj 1)")
        check(len(project) >= 4, "the project has rows: %r" % project)
        per_drawing = {name: module_rows(env, folder, "(esbbtj 0)", path + ".dxf")
                       for name, path in (("A", a), ("B", b), ("C", c))}
        check(len(per_drawing["C"]) == 1, "drawing C has one row: %r" % per_drawing["C"])

        # XLSX: the project's sheet, then each drawing's.
        xlsx = os.path.join(folder, "t.xlsx")
        r = run(env, "table", "--project", settings_path, "-o", xlsx)
        check(r.returncode == 0, "table --project -o xlsx: %r" % r.stderr)
        book = openpyxl.load_workbook(xlsx)
        check(book.sheetnames == ["工程", "A", "B", "C"], "sheets: %r" % book.sheetnames)
        ws = book["工程"]
        header = [cell.value for cell in ws[1]]
        check(header[:5] == ["代号", "名称", "型号规格", "数量", "缺号"], "header: %r" % header)
        check(ws.freeze_panes == "A2", "header frozen: %r" % ws.freeze_panes)
        check([r[:4] for r in sheet_rows(ws)] == as_sheet(project), "project sheet = (esbbtj 1): %r / %r"
              % (sheet_rows(ws), project))
        width = ws.column_dimensions["C"].width
        check(width >= len(quoted) + 1, "model column fits its texts: %r" % width)
        for name, rows in per_drawing.items():
            check([r[:4] for r in sheet_rows(book[name])] == as_sheet(rows),
                  "sheet %s = (esbbtj 0) on it: %r / %r" % (name, sheet_rows(book[name]), rows))
        gaps = {r[0]: r[4] for r in sheet_rows(book["A"])}
        check(gaps.get("KM1~3,5", gaps.get("KM1,2,3,5")) == "KM4", "KM4 missing on sheet A: %r" % gaps)
        project_sheet = {r[0]: r for r in sheet_rows(ws)}
        km1 = [r for d, r in project_sheet.items() if d.split(",")[0] == "KM1"]
        check(len(km1) == 1 and "CJX2 (A)" in (km1[0][5] or "") and "CJX1 (B)" in (km1[0][5] or ""),
              "KM1 with its two models and both drawings: %r" % km1)

        # CSV on the standard output: all six fields, then the reports.
        r = run(env, "table", "--project", settings_path)
        check(r.returncode == 0, "table --project to stdout: %r" % r.stderr)
        data = r.stdout
        check(data.startswith(b"\xef\xbb\xbf"), "CSV starts with a byte-order mark")
        check(data.count(b"\r\n") == len(project) + 1 and data.count(b"\n") == len(project) + 1,
              "CSV lines end in CRLF")
        check(b'"AD16-22,""\xe7\xba\xa2"""' in data, "a model with a comma and a quote is quoted")
        lines = list(csv.reader(io.StringIO(data[3:].decode("utf-8"), newline="")))
        check(lines[0][:7] == ["代号", "", "", "名称", "型号规格", "数量", "缺号"], "CSV header: %r" % lines[0])
        check([line[:6] for line in lines[1:]] == project, "CSV rows = (esbbtj 1): %r" % lines[1:])

        # JSON: valid, the same rows, the same on one and on two threads.
        outs = {}
        for jobs in ("1", "2"):
            out = os.path.join(folder, "t%s.json" % jobs)
            r = run(env, "table", "--project", settings_path, "-o", out, "--jobs", jobs)
            check(r.returncode == 0, "table -o json --jobs %s: %r" % (jobs, r.stderr))
            with open(out, "rb") as f:
                outs[jobs] = f.read()
        check(outs["1"] == outs["2"], "one and two reading threads give the same table")
        table = json.loads(outs["2"])
        with open(SCHEMA, encoding="utf-8") as f:
            schema = json.load(f)
        try:
            jsonschema.validate(table, schema)
        except jsonschema.ValidationError as e:
            check(False, "JSON against the schema: %s" % e.message)
        check([[t["designations"], "", "", t["name"], t["model"], str(t["quantity"])] for t in table] == project,
              "JSON rows = (esbbtj 1)")
        km1 = [t for t in table if t["designations"].split(",")[0] == "KM1"]
        check(len(km1) == 1 and km1[0]["conflicts"] == [{"designation": "KM1", "models": [
            {"model": "CJX2", "drawings": ["A"]}, {"model": "CJX1", "drawings": ["B"]}]}],
            "KM1's conflict in JSON: %r" % km1)
        check(["KM4"] in [t["missing"] for t in table], "KM4 missing in the project's JSON")

        # A single drawing: its rows, KM4 reported.
        r = run(env, "table", a + ".dxf", "-o", os.path.join(folder, "a.json"))
        check(r.returncode == 0, "table A.dxf: %r" % r.stderr)
        with open(os.path.join(folder, "a.json"), encoding="utf-8") as f:
            single = json.load(f)
        check([[t["designations"], "", "", t["name"], t["model"], str(t["quantity"])] for t in single]
              == per_drawing["A"], "a drawing's JSON = (esbbtj 0)")
        check([t["missing"] for t in single if t["missing"]] == [["KM4"]], "KM4 missing: %r" % single)

        # A row's designations beyond a cell's 32,767 characters: cut in the
        # workbook, whole in the CSV.
        many = os.path.join(folder, "many.dxf")
        drawing(many, [("KM%d" % (2 * n + 1), "CJX2") for n in range(7000)])
        r = run(env, "table", many, "-o", os.path.join(folder, "many.xlsx"))
        check(r.returncode == 0, "table many.dxf -o xlsx: %r" % r.stderr)
        cell = openpyxl.load_workbook(os.path.join(folder, "many.xlsx"))["many"]["A2"].value or ""
        r = run(env, "table", many)
        whole = r.stdout.decode("utf-8").split("\r\n")[1].split('"')[1]
        check(len(whole) > 32767 and whole.startswith("KM1,3,5,") and whole.endswith(",13999"),
              "the CSV holds every designation: %d" % len(whole))
        check(len(cell) == 32767 and cell.endswith("…") and whole.startswith(cell[:-1]),
              "the cell is cut at 32,767 characters: %d %r" % (len(cell), cell[-8:]))

        # Failures leave an existing OUT as it was.
        old = os.path.join(folder, "old.csv")
        for out in (old, os.path.join(folder, "old.xlsx")):
            with open(out, "w") as f:
                f.write("old table")
            bad = os.path.join(folder, "bad.dxf")
            with open(bad, "w") as f:
                f.write("0\nSECTION\n2\nENTITIES\n0\nNONSENSE")
            for source in (bad, os.path.join(folder, "missing.dxf")):
                r = run(env, "table", source, "-o", out)
                check(r.returncode == 2, "unreadable %s: exit 2, not %d" % (source, r.returncode))
                with open(out) as f:
                    check(f.read() == "old table", "unreadable %s leaves %s as it was" % (source, out))
        os.remove(os.path.join(user, "Sbxl.Qrz"))
        r = run(env, "table", "--project", settings_path, "-o", old)
        check(r.returncode == 1 and "QRZ" in r.stderr.decode("utf-8"),
              "no drawing list: exit 1 with the module's message: %d %r" % (r.returncode, r.stderr))
        with open(old) as f:
            check(f.read() == "old table", "a failed table leaves OUT as it was")

        # Wrong words.
        for args in ([], [a + ".dxf", "--project", settings_path], [a + ".dxf", "-o", "t.txt"],
                     [a + ".dxf", "--jobs", "0"], ["--project", os.path.join(folder, "none.json")]):
            r = run(env, "table", *args)
            check(r.returncode == 2, "table %r: exit 2, not %d" % (args, r.returncode))

    print("table_test: %s" % ("ok" if not FAILURES else "%d failed" % len(FAILURES)))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
