"""Writes a sample drawing for the SVG renderer: an R2018 DXF with a block
(carrying extended data) inserted at several scales, rotations and mirrors,
wide and bulged polylines, coloured entities on coloured layers, a layer that
is off and one that is frozen, and justified texts with Chinese.

usage: make_render_sample.py OUT.dxf
"""
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

APP = "CTRLSCH"


def motor_block(doc):
    # Base point away from the origin, asymmetric so mirroring shows.
    blk = doc.blocks.new(name="MOTOR", base_point=(2, 1))
    ring = blk.add_circle((2, 1), 5, dxfattribs={"layer": "0", "color": 0})
    ring.set_xdata(APP, [(1000, "ring"), (1070, 1)])
    blk.add_line((7, 1), (17, 1), dxfattribs={"layer": "0"})
    # Arrow head at the end of the shaft, pointing along +X.
    blk.add_solid([(17, 3), (17, -1), (21, 1)], dxfattribs={"color": 0})
    blk.add_arc((2, 1), 7, 20, 160, dxfattribs={"layer": "DEVICES"})
    blk.add_lwpolyline([(-3, -6), (7, -6)], format="xy", dxfattribs={"color": 0, "const_width": 0.5})
    blk.add_point((2, 1), dxfattribs={"color": 1})
    blk.add_text("M", dxfattribs={"height": 4, "color": 0}).set_placement(
        (2, 1), align=TextEntityAlignment.MIDDLE_CENTER)
    return blk


def panel_block(doc):
    # Two motors side by side: a nested block.
    blk = doc.blocks.new(name="PANEL", base_point=(0, 0))
    blk.add_lwpolyline([(-10, -10), (70, -10), (70, 12), (-10, 12)], close=True,
                       dxfattribs={"layer": "0", "color": 0})
    blk.add_blockref("MOTOR", (2, 1))
    blk.add_blockref("MOTOR", (42, 1), dxfattribs={"xscale": -1})
    return blk


def main(path):
    doc = ezdxf.new("R2018")
    doc.appids.new(APP)
    doc.layers.add("WIRES", color=5)
    doc.layers.add("DEVICES", color=3)
    doc.layers.add("NOTES", color=30)
    doc.layers.add("HIDDEN", color=2).off()
    doc.layers.add("FROZEN", color=6).freeze()
    motor_block(doc)
    panel_block(doc)
    msp = doc.modelspace()

    # The motor at several placements; each reference carries extended data.
    placements = [
        ((0, 0), 1, 1, 0, 3),        # as defined, green
        ((60, 0), 2, 2, 30, 1),      # scaled and rotated, red
        ((130, 0), -1, 1, 0, 6),     # mirrored in X, magenta
        ((0, -50), 1.5, -1.5, 90, 4),  # mirrored in Y and turned, cyan
        ((60, -50), 1, 0.5, 0, 140),  # squashed: the ring becomes an ellipse
    ]
    for i, (pos, sx, sy, rot, color) in enumerate(placements):
        ref = msp.add_blockref("MOTOR", pos, dxfattribs={
            "xscale": sx, "yscale": sy, "rotation": rot, "color": color, "layer": "DEVICES"})
        ref.set_xdata(APP, [(1000, "M%d" % (i + 1)), (1040, float(sx))])
    msp.add_blockref("PANEL", (110, -60), dxfattribs={"color": 1, "layer": "DEVICES"})

    # Wires: a constant-width frame, a tapered arrow, bulged and wide arcs.
    msp.add_lwpolyline([(-20, -95), (190, -95), (190, 35), (-20, 35)], close=True,
                       dxfattribs={"layer": "WIRES", "const_width": 0.8})
    msp.add_lwpolyline([(-10, 25, 0, 3, 0), (10, 25, 0, 3, 0), (25, 25, 0, 0, 0)], format="xyseb",
                       dxfattribs={"layer": "WIRES", "color": 1})
    msp.add_lwpolyline([(40, 20, 0, 0, 0), (60, 20, 0, 0, 1), (60, 30, 0, 0, 0), (80, 30, 0, 0, -0.5),
                        (100, 20, 0, 0, 0)], format="xyseb", dxfattribs={"layer": "WIRES"})
    msp.add_lwpolyline([(120, 20, 0.5, 2.5, 1), (140, 20, 2.5, 0.5, 0)], format="xyseb",
                       dxfattribs={"layer": "WIRES", "color": 30})
    msp.add_lwpolyline([(150, 15), (170, 15), (170, 30), (150, 30)], format="xy", close=True,
                       dxfattribs={"layer": "WIRES", "const_width": 1.5, "color": 250})

    # Plain coloured entities.
    for i, color in enumerate([1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 30, 50, 90, 130, 170, 210, 250, 254]):
        x = -15 + i * 11
        msp.add_line((x, -88), (x + 8, -80), dxfattribs={"color": color})
        msp.add_circle((x + 4, -75), 2.5, dxfattribs={"color": color})
    msp.add_arc((100, -20), 8, 200, 340, dxfattribs={"layer": "DEVICES"})
    msp.add_solid([(170, -30), (185, -30), (170, -20), (185, -20)], dxfattribs={"color": 5})
    msp.add_point((180, -40), dxfattribs={"color": 1})

    # Texts at every justification.
    texts = [
        ("左对齐 Left", TextEntityAlignment.LEFT, (-15, -25), 0),
        ("居中 Center", TextEntityAlignment.CENTER, (30, -25), 0),
        ("右对齐 Right", TextEntityAlignment.RIGHT, (90, -30), 0),
        ("中间 Middle", TextEntityAlignment.MIDDLE, (30, -35), 0),
        ("TOP_LEFT 顶部", TextEntityAlignment.TOP_LEFT, (-15, -38), 0),
        ("控制柜 主回路", TextEntityAlignment.MIDDLE_CENTER, (150, 5), 30),
        ("BOTTOM_RIGHT", TextEntityAlignment.BOTTOM_RIGHT, (90, -42), 0),
    ]
    for text, align, pos, rot in texts:
        msp.add_text(text, dxfattribs={"height": 3, "layer": "NOTES", "rotation": rot}).set_placement(
            pos, align=align)
        msp.add_point(pos, dxfattribs={"color": 1})
    msp.add_text("ALIGNED 对齐", dxfattribs={"height": 3, "layer": "NOTES"}).set_placement(
        (-15, -60), (40, -60), align=TextEntityAlignment.ALIGNED)
    msp.add_text("FIT & <ok>", dxfattribs={"height": 3, "layer": "NOTES"}).set_placement(
        (50, -60), (90, -60), align=TextEntityAlignment.FIT)

    # Not drawn: a layer that is off and one that is frozen.
    msp.add_circle((100, 0), 30, dxfattribs={"layer": "HIDDEN"})
    msp.add_text("hidden", dxfattribs={"height": 3, "layer": "FROZEN"}).set_placement((100, 0))

    doc.saveas(path)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
