"""Writes the drawings the interoperability tests read.

usage: make_interop_drawings.py OUTDIR
       make_interop_drawings.py --corpus OUTDIR

The first form writes the same content in DXF R12, R2000 (code page
ANSI_936, so Chinese text is GBK) and R2018. The second writes the round-trip
corpus: drawings as other programs write them, NAME.dxf for each name in
CORPUS below, plus MANIFEST (one name a line) when all are written.
"""
import math
import re
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

VERSIONS = ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018")


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
        to_gbk(path)


def to_gbk(path):
    """ezdxf writes characters outside cp1252 as \\U+XXXX escapes; turns them
    into real GBK bytes, as a Chinese CAD program writes them."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    text = text.replace("$DWGCODEPAGE\n  3\nANSI_1252", "$DWGCODEPAGE\n  3\nANSI_936")
    text = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)
    with open(path, "w", encoding="gbk", newline="") as f:
        f.write(text)


def patch_version(path, old, new):
    """Another program's R13 or R14 file: ezdxf's R2000 content under the
    older version number."""
    with open(path, encoding="cp1252") as f:
        text = f.read()
    text = text.replace(f"$ACADVER\n  1\n{old}\n", f"$ACADVER\n  1\n{new}\n", 1)
    with open(path, "w", encoding="cp1252", newline="") as f:
        f.write(text)


def full(version, path, chinese=False):
    """Many kinds of entities, objects and data, as far as the version has
    them."""
    doc = ezdxf.new(version, setup=True)
    r12 = version == "R12"
    doc.appids.new("XMDH")
    doc.layers.new("WIRE", dxfattribs={"color": 1, "linetype": "DASHED"})
    doc.layers.new("OFF", dxfattribs={"color": -4})
    label = "电气 KM1" if chinese else "KM1"
    if chinese:
        doc.layers.new("元件", dxfattribs={"color": 3})
    msp = doc.modelspace()
    msp.add_line((0, 0, 0), (10, 5, 1), dxfattribs={"layer": "WIRE", "color": 1, "linetype": "CONTINUOUS"})
    msp.add_circle((5, 5), 2.5, dxfattribs={"layer": "元件" if chinese else "0", "thickness": 2})
    msp.add_arc((1, 2), 3, 10, 100, dxfattribs={"color": 5, "extrusion": (0, 0, -1)})
    msp.add_point((7, 7))
    msp.add_solid([(0, 0), (1, 0), (0, 1)])
    msp.add_trace([(0, 0), (1, 0), (0, 1), (1, 1)])
    msp.add_3dface([(0, 0, 0), (1, 0, 1), (1, 1, 1), (0, 1, 0)])
    msp.add_text(label, dxfattribs={"height": 3.5, "rotation": 30, "style": "OpenSans"}).set_placement(
        (1, 1), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_polyline2d([(0, 0), (10, 0), (10, 10)], dxfattribs={"closed": True, "layer": "WIRE"})
    wide = msp.add_polyline2d([(0, 20, 0.5, 1.0, 0.5), (10, 20, 1.0, 0.5, 0), (10, 30, 0.2, 0.2, 0)], format="xyseb")
    wide.dxf.elevation = (0, 0, 2)
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    mesh = msp.add_polymesh((2, 2))
    for m in range(2):
        for n in range(2):
            mesh.set_mesh_vertex((m, n), (m, n, m * n))
    face = msp.add_polyface()
    face.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)])
    if not r12:
        msp.add_lwpolyline([(0, 0, 0.5, 0.5, 0.25), (10, 0, 0.5, 0.5, 0), (10, 10, 0, 0, 0)], format="xyseb")
        msp.add_ellipse((0, 0), major_axis=(4, 1), ratio=0.5, start_param=0.1, end_param=3.0)
        msp.add_spline([(0, 0), (2, 3), (5, 1), (8, 4)])
        msp.add_spline_control_frame([(0, 0), (2, 3), (5, 1), (8, 4)], degree=3)
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (5, 0), (5, 5)], is_closed=True)
        edges = hatch.paths.add_edge_path()
        edges.add_line((10, 10), (15, 10))
        edges.add_arc((15, 12), 2, -90, 90)
        edges.add_line((15, 14), (10, 10))
        pattern = msp.add_hatch()
        pattern.set_pattern_fill("ANSI31", scale=0.5)
        pattern.paths.add_polyline_path([(20, 0), (25, 0), (25, 5), (20, 5)], is_closed=True)
        msp.add_mtext(label + "\\P第二行" if chinese else "two\\Plines", dxfattribs={"char_height": 2, "insert": (0, 30)})
        msp.add_leader([(0, 0), (5, 5), (10, 5)])
        msp.add_ray((0, 0), (1, 1))
        msp.add_xline((1, 0), (0, 1))
        image_def = doc.add_image_def(filename="scan.png", size_in_pixel=(640, 480))
        msp.add_image(image_def, insert=(50, 0), size_in_units=(6.4, 4.8), rotation=15)
        mesh3 = msp.add_mesh()
        with mesh3.edit_data() as data:
            data.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
            data.faces = [(0, 1, 2, 3)]
        # Dictionaries and extended records of an application.
        owner = doc.rootdict.add_new_dict("CTRLSCH_DATA")
        record = owner.add_xrecord("SETTINGS")
        record.reset([(1, "grid"), (40, 2.5), (70, 3), (10, (1, 2, 3))])
        # A second paper-space layout with its own entities.
        layout = doc.layouts.new("Panel")
        layout.add_line((0, 0), (100, 0))
        layout.add_text("panel title", dxfattribs={"height": 5}).set_placement((10, 10))
    else:
        doc.layouts.active_layout().add_line((0, 0), (100, 0))
    # A block with attribute definitions; references with attributes.
    blk = doc.blocks.new("KM", base_point=(1, 1))
    blk.add_line((0, 0), (0, -7.5))
    blk.add_circle((0, -3.75), 2)
    blk.add_attdef("TAG", (0, 1), dxfattribs={"height": 1, "prompt": "designation"})
    ref = msp.add_blockref("KM", (20, 20), dxfattribs={"xscale": 2, "yscale": 2, "rotation": 90})
    ref.add_attrib("TAG", label, (20, 21))
    ref.set_xdata("XMDH", [(1000, label), (1040, 2.5), (1070, 3), (1071, 70000), (1010, (1, 2, 3)),
                           (1002, "{"), (1005, "0"), (1004, b"\x01\xff"), (1002, "}")])
    grid = msp.add_blockref("KM", (40, 0), dxfattribs={"column_count": 3, "row_count": 2, "column_spacing": 10,
                                                        "row_spacing": 15, "rotation": 30})
    grid.add_attrib("TAG", "row", (40, 1))
    msp.add_blockref("KM", (60, 0), dxfattribs={"column_count": 4, "column_spacing": 5})
    inner = doc.blocks.new("NEST")
    inner.add_blockref("KM", (0, 0), dxfattribs={"xscale": -1})
    msp.add_blockref("NEST", (80, 80))
    for dim in (msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(10, 0)),
                msp.add_aligned_dim(p1=(0, 0), p2=(10, 10), distance=2),
                msp.add_radius_dim(center=(50, 50), radius=5, angle=45),
                msp.add_diameter_dim(center=(70, 50), radius=5, angle=30)):
        dim.render()
    doc.header["$INSUNITS"] = 4
    doc.header["$LTSCALE"] = 2.5
    doc.header["$TEXTSIZE"] = 3.5
    doc.saveas(path)


CORPUS = [f"{v}-full" for v in VERSIONS] + [
    "R12-gbk", "R2000-gbk", "R13-patched", "R14-patched",
    "R12-binary", "R2000-binary", "R2018-binary",
]


def corpus(out):
    for version in VERSIONS:
        full(version, f"{out}/{version}-full.dxf")
    full("R12", f"{out}/R12-gbk.dxf", chinese=True)
    to_gbk(f"{out}/R12-gbk.dxf")
    full("R2000", f"{out}/R2000-gbk.dxf", chinese=True)
    to_gbk(f"{out}/R2000-gbk.dxf")
    for name, version in (("R13-patched", "AC1012"), ("R14-patched", "AC1014")):
        full("R2000", f"{out}/{name}.dxf")
        patch_version(f"{out}/{name}.dxf", "AC1015", version)
    for version in ("R12", "R2000", "R2018"):
        doc = ezdxf.readfile(f"{out}/{version}-full.dxf")
        doc.saveas(f"{out}/{version}-binary.dxf", fmt="bin")
    with open(f"{out}/MANIFEST", "w") as f:
        f.write("\n".join(CORPUS) + "\n")


def main():
    if sys.argv[1] == "--corpus":
        corpus(sys.argv[2])
        return
    out = sys.argv[1]
    for version in ("R12", "R2000", "R2018"):
        build(version, f"{out}/{version}.dxf")


if __name__ == "__main__":
    main()
