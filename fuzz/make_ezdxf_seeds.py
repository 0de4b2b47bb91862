"""Writes seed drawings for the DXF fuzzers with ezdxf: the same schematic
in every DXF version ezdxf writes, extended data on every entity, Chinese
text (as GBK bytes in the versions before R2007, code page ANSI_936), and
binary DXF of the same in a few versions.

usage: make_ezdxf_seeds.py OUTDIR
"""
import os
import re
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

VERSIONS = ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018")
APPS = ("YLTHZCS", "XMDH", "SBMC", "IDPOINT", "TKSY")


def xdata(entity, n):
    entity.set_xdata("YLTHZCS", [(1000, "20.00&30.00&0.30&1.00&3&0"), (1070, n), (1040, 0.5 * n)])
    entity.set_xdata("XMDH", [(1000, "KM%d" % n), (1002, "{"), (1000, "电动机"), (1071, 70000 + n), (1002, "}")])
    entity.set_xdata("IDPOINT", [(1010, (n, 2 * n, 0)), (1011, (100, 200, 0)), (1041, 2.5), (1042, 1.0)])
    entity.set_xdata("SBMC", [(1000, "交流接触器 CJ20-%d" % n), (1005, "0")])


def build(version, path):
    doc = ezdxf.new(version)
    for app in APPS:
        doc.appids.new(app)
    doc.layers.new("电气导线", dxfattribs={"color": 1})
    doc.layers.new("电气元件", dxfattribs={"color": 7})
    blk = doc.blocks.new("KM", base_point=(0, 0))
    blk.add_line((0, 0), (0, -7.5), dxfattribs={"layer": "电气元件"})
    blk.add_circle((0, -3.75), 2)
    blk.add_attdef("XMDH", (2, -3), dxfattribs={"height": 2.5})
    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "电气导线"})
    msp.add_circle((5, 5), 2.5, dxfattribs={"layer": "电气元件"})
    msp.add_arc((1, 2), 3, 10, 100, dxfattribs={"color": 5})
    if version == "R12":
        msp.add_polyline2d([(0, 0), (10, 0), (10, 10)], dxfattribs={"closed": True, "layer": "电气导线"})
    else:
        msp.add_lwpolyline([(0, 0, 0.3, 0.3, 0.25), (10, 0, 0.3, 0.3, 0), (10, 10, 0.3, 0.3, 0)],
                           format="xyseb", dxfattribs={"layer": "电气导线", "const_width": 0.3})
        msp.add_mtext("多行文字\\P第二行", dxfattribs={"char_height": 2, "insert": (0, 30)})
    msp.add_text("主回路 KM1", dxfattribs={"height": 3.5, "rotation": 30}).set_placement(
        (1, 1), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_point((7, 7))
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={"color": 2})
    ref = msp.add_blockref("KM", (20, 20), dxfattribs={"xscale": 2, "yscale": 2, "rotation": 90})
    ref.add_attrib("XMDH", "KM1", (22, 18), dxfattribs={"height": 2.5})
    msp.add_blockref("KM", (40, 20), dxfattribs={"xscale": -1})
    for n, e in enumerate(list(msp) + list(blk), start=1):
        xdata(e, n)
    doc.saveas(path)
    if version in ("R12", "R2000", "R2018"):
        doc.saveas(path.replace(".dxf", "-binary.dxf"), fmt="bin")
    if version in ("R12", "R2000", "R2004"):
        # ezdxf writes characters outside cp1252 as \U+XXXX escapes; turn
        # them into GBK bytes, as a Chinese CAD program writes them.
        with open(path, encoding="ascii") as f:
            text = f.read()
        text = re.sub(r"(\$DWGCODEPAGE\n\s*3\n)ANSI_\d+", r"\1ANSI_936", text)
        text = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)
        with open(path, "w", encoding="gbk", newline="") as f:
            f.write(text)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for version in VERSIONS:
        build(version, os.path.join(out, "ezdxf-%s.dxf" % version))


if __name__ == "__main__":
    main()
