"""Prints what ezdxf reads in a drawing, one line per fact, so two drawings
can be compared line by line.

usage: ezdxf_report.py FILE [--no-audit-fixes]
       ezdxf_report.py --full FILE
       ezdxf_report.py --full-each DIR FILE...
Lines: "audit errors=N fixes=N", then layers, appids, blocks with their
entities, model-space entities; each entity with its DXF attributes (handles
and owners left out), vertices and extended data. Reals are rounded to 6
decimals.

--full reports everything a drawing's exchange must keep, independent of
handles and of the file's version: header variables, table records, every
layout and block with its entities (their attributes, geometry, attributes
of block references, extended data), dictionaries and their records. A 2D
polyline is reported the same whether it is a POLYLINE or an LWPOLYLINE.
Blocks that ezdxf itself adds when it reads an R13 or R14 file (arrow
heads) are left out.

--full-each writes the --full report of each FILE into DIR/NAME.report
(NAME: the file's name), all in one run: for reports a test program keeps.
"""
import contextlib
import os
import sys

import ezdxf
import ezdxf.filemanagement
import ezdxf.recover

SKIP = {"handle", "owner", "extrusion"}


def fmt(v):
    if isinstance(v, float):
        r = round(v, 6)
        return "0" if r == 0 else repr(r)
    if isinstance(v, (tuple, list)) or type(v).__name__ == "Vec3":
        return "(" + ",".join(fmt(float(x)) for x in v) + ")"
    return str(v)


def entity_line(e):
    attrs = e.dxfattribs()
    parts = [e.dxftype()]
    for k in sorted(attrs):
        if k in SKIP:
            continue
        parts.append(f"{k}={fmt(attrs[k])}")
    t = e.dxftype()
    if t == "LWPOLYLINE":
        parts.append("points=" + ";".join(fmt(p) for p in e.get_points("xyseb")))
    if t == "POLYLINE":
        parts.append("points=" + ";".join(fmt(v.dxf.location) for v in e.vertices))
    if t == "MTEXT":
        parts.append("text=" + e.text)
    if t == "HATCH":
        parts.append(f"paths={len(e.paths)}")
    if e.xdata:
        for app in sorted(e.xdata.data):
            parts.append(f"xdata[{app}]=" + ";".join(f"{tag.code}:{fmt(tag.value)}" for tag in e.xdata.get(app)))
    return " ".join(parts)


# ---------------------------------------------------------------- --full

# Group codes of references to other objects: handles differ from file to
# file, so they are left out (what they point to is reported where it matters).
def is_handle_code(code):
    return code in (5, 105) or 320 <= code <= 369 or 390 <= code <= 399 or 480 <= code <= 481 or code == 1005


# Header variables that say which file it is rather than what it holds.
FILE_VARS = {"$ACADVER", "$ACADMAINTVER", "$HANDSEED", "$DWGCODEPAGE", "$LASTSAVEDBY", "$FINGERPRINTGUID",
             "$VERSIONGUID", "$TDCREATE", "$TDUCREATE", "$TDUPDATE", "$TDUUPDATE", "$TDINDWG",
             "$REQUIREDVERSIONS"}


# Values that mean the same as leaving the attribute out, where ezdxf
# knows no default (a text style's width factor).
NEUTRAL = {("STYLE", "width"): 1.0}


def same(value, other):
    """Equal values; names compare without case, as CAD names do."""
    try:
        if isinstance(value, str) and isinstance(other, str):
            return value.upper() == other.upper()
        return other is not None and fmt(value) == fmt(other)
    except (TypeError, ValueError):
        return False


def attrs_of(e, leave_out=()):
    parts = []
    attrs = e.dxfattribs()
    for k in sorted(attrs):
        if k in ("handle", "owner") or k in leave_out:
            continue
        attr = e.DXFATTRIBS.get(k)
        if attr is not None and is_handle_code(attr.code):
            continue
        # A value written out that equals the default means the same as
        # leaving it out (colour 256 is by layer either way).
        if attr is not None and attr.default is not None and same(attrs[k], attr.default):
            continue
        if (isinstance(attrs[k], str) and attrs[k] == "") or same(attrs[k], NEUTRAL.get((e.dxftype(), k))):
            continue
        parts.append(f"{k}={fmt(attrs[k])}")
    return parts


def xdata_of(e):
    parts = []
    if e.xdata:
        for app in sorted(e.xdata.data):
            items = [f"{tag.code}:{fmt(tag.value)}" for tag in e.xdata.get(app) if tag.code != 1005]
            parts.append(f"xdata[{app}]=" + ";".join(items))
    return parts


def is_2d_polyline(e):
    return e.dxftype() == "LWPOLYLINE" or (e.dxftype() == "POLYLINE" and e.get_mode() == "AcDb2dPolyline")


def polyline2d_line(e):
    """A 2D polyline by what it draws, whichever entity holds it."""
    parts = ["POLYLINE2D"]
    for k in ("layer", "color", "linetype", "lineweight", "thickness"):
        if e.dxf.hasattr(k):
            parts.append(f"{k}={fmt(e.dxf.get(k))}")
    parts.append(f"closed={int(e.closed if e.dxftype() == 'LWPOLYLINE' else e.is_closed)}")
    points = []
    if e.dxftype() == "LWPOLYLINE":
        parts.append(f"elevation={fmt(e.dxf.elevation)}")
        const = e.dxf.const_width
        for x, y, sw, ew, b in e.get_points("xyseb"):
            if sw == 0 and ew == 0:
                sw = ew = const
            points.append((x, y, sw, ew, b))
    else:
        parts.append(f"elevation={fmt(e.dxf.elevation[2])}")
        for v in e.vertices:
            if v.dxf.flags & 16:
                continue
            sw = v.dxf.get("start_width", e.dxf.default_start_width)
            ew = v.dxf.get("end_width", e.dxf.default_end_width)
            points.append((v.dxf.location[0], v.dxf.location[1], sw, ew, v.dxf.bulge))
    parts.append("points=" + ";".join(fmt(p) for p in points))
    return " ".join(parts + xdata_of(e))


def full_entity_lines(e, indent):
    if is_2d_polyline(e):
        return [indent + polyline2d_line(e)]
    t = e.dxftype()
    parts = [t] + attrs_of(e)
    sub = []
    if t == "POLYLINE":
        for v in e.vertices:
            sub.append(indent + "  VERTEX " + " ".join(attrs_of(v)))
    elif t == "INSERT":
        for a in e.attribs:
            sub.append(indent + "  ATTRIB " + " ".join(attrs_of(a) + xdata_of(a)))
    elif t == "MTEXT":
        parts.append("text=" + e.text)
    elif t == "HATCH":
        for path in e.paths:
            if hasattr(path, "vertices"):
                sub.append(indent + "  path polyline " + ";".join(fmt(v) for v in path.vertices))
            else:
                for edge in path.edges:
                    sub.append(indent + f"  path edge {type(edge).__name__} "
                               + " ".join(f"{k}={fmt(v)}" for k, v in sorted(vars(edge).items())))
        if e.pattern:
            parts.append("pattern=" + ";".join(fmt(line) for line in e.pattern.lines))
    elif t == "SPLINE":
        parts.append("control=" + ";".join(fmt(p) for p in e.control_points))
        parts.append("fit=" + ";".join(fmt(p) for p in e.fit_points))
        parts.append("knots=" + ";".join(fmt(k) for k in e.knots))
        parts.append("weights=" + ";".join(fmt(w) for w in e.weights))
    elif t == "LEADER":
        parts.append("vertices=" + ";".join(fmt(v) for v in e.vertices))
    elif t == "IMAGE":
        image_def = e.image_def
        parts.append("image_def=" + (image_def.dxf.filename if image_def else "none"))
        parts.append("boundary=" + ";".join(fmt(v) for v in e.boundary_path))
    elif t == "MESH":
        parts.append("vertices=" + ";".join(fmt(v) for v in e.vertices))
        parts.append("faces=" + ";".join(fmt(list(f)) for f in e.faces))
    return [indent + " ".join(parts + xdata_of(e))] + sub


def full_report(path):
    info = ezdxf.filemanagement.dxf_file_info(path) if not is_binary(path) else None
    try:
        doc = ezdxf.readfile(path)
    except ezdxf.DXFStructureError:
        # Damage that ezdxf's recover mode repairs.
        doc, _ = ezdxf.recover.readfile(path)
    upgraded = info is not None and info.version in ("AC1012", "AC1014")
    # Handles at or after the file's seed were given by ezdxf while reading.
    seed = int(info.handseed, 16) if upgraded and info.handseed else None
    auditor = doc.audit()
    print(f"audit errors={len(auditor.errors)}")
    for e in auditor.errors:
        print(f"audit-error {e.message}")
    for name in sorted(doc.header.varnames()):
        if name not in FILE_VARS:
            print(f"header {name}={fmt(doc.header[name])}")
    for table in (doc.layers, doc.linetypes, doc.styles, doc.dimstyles, doc.appids, doc.ucs, doc.views):
        for entry in sorted(table, key=lambda r: r.dxf.name.upper()):
            print(f"{entry.dxftype()} " + " ".join(attrs_of(entry)) + " " + " ".join(xdata_of(entry)))
    for layout in sorted(doc.layouts, key=lambda l: l.name):
        entities = list(layout)
        print(f"layout {layout.name} entities={len(entities)}")
        for e in entities:
            for line in full_entity_lines(e, "  "):
                print(line)
    for blk in sorted(doc.blocks, key=lambda b: b.name.upper()):
        if blk.is_any_layout:
            continue
        if seed is not None and int(blk.block_record.dxf.handle, 16) >= seed:
            continue
        entities = list(blk)
        print(f"block {blk.name} base={fmt(blk.block.dxf.base_point)} flags={blk.block.dxf.flags} entities={len(entities)}")
        for e in entities:
            for line in full_entity_lines(e, "  "):
                print(line)
    if doc.dxfversion > "AC1009":
        dictionary_lines(doc.rootdict, "", top=True)


def dictionary_lines(d, indent, top=False):
    """The drawing's dictionaries from the root; of the standard ones
    (ACAD_...), which every R2000 drawing has, only the groups."""
    for key in sorted(d.keys()):
        value = d.get(key)
        kind = value.dxftype() if hasattr(value, "dxftype") else "?"
        if top and key.startswith("ACAD_"):
            if key == "ACAD_GROUP" and kind == "DICTIONARY":
                dictionary_lines(value, "group ")
            continue
        line = f"{indent}{key}: {kind}"
        if kind == "XRECORD":
            tags = list(value.tags)
            # ezdxf takes a first 280 for the cloning flag in some versions.
            cloning = tags.pop(0).value if tags and tags[0].code == 280 else value.dxf.cloning
            line += f" cloning={cloning} " + ";".join(f"{t.code}:{fmt(t.value)}" for t in tags
                                                     if not is_handle_code(t.code))
        print(line)
        if kind == "DICTIONARY":
            dictionary_lines(value, indent + "  ")


def is_binary(path):
    with open(path, "rb") as f:
        return f.read(22).startswith(b"AutoCAD Binary DXF")


def main():
    if sys.argv[1] == "--full":
        full_report(sys.argv[2])
        return
    if sys.argv[1] == "--full-each":
        for path in sys.argv[3:]:
            out = os.path.join(sys.argv[2], os.path.basename(path) + ".report")
            with open(out + ".tmp", "w", encoding="utf-8", newline="") as f, contextlib.redirect_stdout(f):
                full_report(path)
            os.replace(out + ".tmp", out)
        return
    doc = ezdxf.readfile(sys.argv[1])
    auditor = doc.audit()
    print(f"audit errors={len(auditor.errors)} fixes={len(auditor.fixes)}")
    for e in auditor.errors:
        print(f"audit-error {e.message}")
    if "--no-audit-fixes" not in sys.argv:
        for e in auditor.fixes:
            print(f"audit-fix {e.message}")
    for layer in sorted(doc.layers, key=lambda l: l.dxf.name.lower()):
        print(f"layer {layer.dxf.name} color={layer.dxf.color} linetype={layer.dxf.linetype}")
    for app in sorted(a.dxf.name.upper() for a in doc.appids):
        print(f"appid {app}")
    for blk in sorted(doc.blocks, key=lambda b: b.name.lower()):
        if blk.name.lower() in ("*model_space", "*paper_space") or blk.name.startswith("*"):
            continue
        print(f"block {blk.name} base={fmt(blk.block.dxf.base_point)}")
        for e in blk:
            print("  " + entity_line(e))
    for e in doc.modelspace():
        print(entity_line(e))


if __name__ == "__main__":
    main()
