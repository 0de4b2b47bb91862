"""Writes a small project for the equipment statistics: installation
settings, the statistics settings, the equipment-name file (GBK), the
project's drawing list and three drawings made by ezdxf with equipment data
on the element and panel layers (one of them cut short).

usage: make_project.py DIR
"""
import json
import os
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

ELEMENT = "电气元件"
PANEL = "屏面设备"


def equipment(msp, kind, at, layer, xmdh=None, sbmc=None, xhgg=None):
    if kind == "text":
        e = msp.add_text(xmdh or "?", dxfattribs={"height": 2.5, "layer": layer})
        e.set_placement(at, align=TextEntityAlignment.LEFT)
    else:
        e = msp.add_blockref("EQ", at, dxfattribs={"layer": layer})
    for app, value in (("XMDH", xmdh), ("SBMC", sbmc), ("XHGG", xhgg)):
        if value is not None:
            e.set_xdata(app, [(1000, value)])


def drawing(path, items):
    doc = ezdxf.new("R2010")
    for app in ("XMDH", "SBMC", "XHGG"):
        doc.appids.new(app)
    doc.layers.new(ELEMENT, dxfattribs={"color": 7})
    doc.layers.new(PANEL, dxfattribs={"color": 4})
    blk = doc.blocks.new("EQ", base_point=(0, 0))
    blk.add_circle((0, -3.75), 3)
    msp = doc.modelspace()
    for i, item in enumerate(items):
        kind, layer, values = item
        equipment(msp, kind, (10 * i, 0), layer, *values)
    doc.saveas(path)


def main(root):
    os.makedirs(os.path.join(root, "DATCOM"), exist_ok=True)
    os.makedirs(os.path.join(root, "User"), exist_ok=True)
    with open(os.path.join(root, "settings.json"), "w", encoding="utf-8") as f:
        json.dump({"VMQMain": {"VmqSys": root, "VmqUse": os.path.join(root, "User")},
                   "GdData": {"Xmname": "Sbmc.txt"}}, f, ensure_ascii=False)
    with open(os.path.join(root, "DATCOM", "ESBB.Qrz"), "w", encoding="utf-8") as f:
        json.dump({"生成顺序": {"排序项": "0", "排序内容": "断路器,接触器"}}, f, ensure_ascii=False)
    with open(os.path.join(root, "DATCOM", "Sbmc.txt"), "wb") as f:
        f.write("QF 断路器\r\nKM 交流接触器\r\nKA \"中间继电器\"\r\n".encode("gbk"))
    a = os.path.join(root, "A")
    b = os.path.join(root, "B")
    c = os.path.join(root, "C")
    drawing(a + ".dxf", [
        ("block", ELEMENT, ("KM1", None, "CJX2-12")),
        ("block", ELEMENT, ("KM2", None, "CJX2-12")),
        ("block", ELEMENT, ("QF1", None, "DZ47-63")),
        ("text", ELEMENT, ("SA1", None, "LW5-16")),
        ("block", PANEL, ("HL1", "指示灯", "AD16-22")),
        ("block", PANEL, ("HL9", "指示灯", None)),      # no model: not equipment
        ("block", "0", ("KM7", None, "CJX2-12")),       # another layer
    ])
    drawing(b + ".dxf", [
        ("block", ELEMENT, ("KM3", None, "CJX2-12")),
        ("block", ELEMENT, (" KM1", None, "CJX2-09")),  # found in A first
        ("block", ELEMENT, ("KA1", None, "JZ7-44")),
        ("block", PANEL, ("HL2", "指示灯", "AD16-22")),
    ])
    drawing(os.path.join(root, "D.dxf"), [("block", ELEMENT, ("KM5", None, "CJX2-12"))])
    drawing(c + ".dxf", [("block", ELEMENT, ("KM5", None, "CJX2-12"))])
    with open(c + ".dxf", "rb") as f:
        data = f.read()
    with open(c + ".dxf", "wb") as f:
        f.write(data[: len(data) // 2])
    with open(os.path.join(root, "User", "Sbxl.Qrz"), "w", encoding="utf-8") as f:
        json.dump({"Project": {"Filenm": "&".join([a, b, c]) + "&", "Filenum": "1&2&1&1"}}, f,
                  ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
