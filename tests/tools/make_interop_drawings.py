"""Writes the drawings the interoperability tests read: the same content in
DXF R12, R2000 (code page ANSI_936, so Chinese text is GBK) and R2018.

usage: make_interop_drawings.py OUTDIR
"""
import re
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment


def make(version):
    """The drawing, not yet saved."""
    doc = ezdxf.new(version)
    for app in ("XMDH", "SBMC", "IDPOINT"):
        doc.appids.new(app)
    doc.layers.new("WIRE", dxfattribs={"color": 1})
    doc.layers.new("元件", dxfattribs={"color": 3})
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 5), dxfattribs={"layer": "WIRE", "color": 1})
    msp.add_circle((5, 5), 2.5, dxfattribs={"layer": "元件"})
    msp.add_arc((1, 2), 3, 10, 100, dxfattribs={"color": 5})
    pts = [(0, 0, 0.5, 0.5, 0.25), (10, 0, 0.5, 0.5, 0), (10, 10, 0.5, 0.5, 0)]
    if version == "R12":
        msp.add_polyline2d([(0, 0), (10, 0), (10, 10)], dxfattribs={"closed": True, "layer": "WIRE"})
    else:
        pl = msp.add_lwpolyline(pts, format="xyseb", dxfattribs={"layer": "WIRE"})
        pl.closed = True
    msp.add_text("电气 KM1", dxfattribs={"height": 3.5, "layer": "元件", "rotation": 30}).set_placement(
        (1, 1), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_text("plain", dxfattribs={"height": 2.0}).set_placement((0, -5))
    msp.add_point((7, 7))
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={"color": 2})
    blk = doc.blocks.new("SYM", base_point=(0, 0))
    blk.add_line((0, 0), (0, -7.5))
    blk.add_circle((0, -3.75), 2)
    ref = msp.add_blockref("SYM", (20, 20), dxfattribs={"xscale": 2, "yscale": 2, "rotation": 90})
    ref.set_xdata("XMDH", [(1000, "KM1"), (1040, 2.5), (1070, 3), (1010, (1, 2, 3))])
    ref.set_xdata("SBMC", [(1000, "交流接触器")])
    ref.set_xdata("IDPOINT", [(1011, (100, 200, 0))])
    msp.add_blockref("SYM", (40, 20), dxfattribs={"xscale": -1})
    if version != "R12":
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (5, 0), (5, 5)], is_closed=True)
        msp.add_mtext("多行 text", dxfattribs={"char_height": 2, "insert": (0, 30)})
    dim = msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(10, 0))
    dim.render()
    return doc


def build(version, path):
    doc = make(version)
    doc.saveas(path)
    if version == "R2000":
        # ezdxf writes characters outside cp1252 as \U+XXXX escapes; turn
        # them into real GBK bytes, as a Chinese CAD program writes them.
        with open(path, encoding="ascii") as f:
            text = f.read()
        text = text.replace("$DWGCODEPAGE\n  3\nANSI_1252", "$DWGCODEPAGE\n  3\nANSI_936")
        text = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)
        with open(path, "w", encoding="gbk", newline="") as f:
            f.write(text)


def main():
    out = sys.argv[1]
    for version in ("R12", "R2000", "R2018"):
        build(version, f"{out}/{version}.dxf")


if __name__ == "__main__":
    main()
