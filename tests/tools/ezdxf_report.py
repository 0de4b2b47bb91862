"""Prints what ezdxf reads in a drawing, one line per fact, so two drawings
can be compared line by line.

usage: ezdxf_report.py FILE [--no-audit-fixes]
Lines: "audit errors=N fixes=N", then layers, appids, blocks with their
entities, model-space entities; each entity with its DXF attributes (handles
and owners left out), vertices and extended data. Reals are rounded to 6
decimals.
"""
import sys

import ezdxf

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


def main():
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
