"""Writes the interoperability drawing in every DXF version ezdxf writes,
each as text (VERSION.dxf) and as binary DXF (VERSION-bin.dxf) from the
same document, with extended data of every binary value kind (32-bit
integer, binary chunk, handle) and a layer that is not plotted (a boolean).
Old versions are in code page ANSI_936, so their Chinese text is GBK bytes.

usage: make_binary_drawings.py OUTDIR
"""
import sys

import ezdxf

from make_interop_drawings import make

VERSIONS = ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018")


def main():
    out = sys.argv[1]
    # Text and binary of one document must not differ in the save time.
    ezdxf.options.write_fixed_meta_data_for_testing = True
    for version in VERSIONS:
        doc = make(version)
        doc.encoding = "gbk"
        doc.appids.new("BINKINDS")
        doc.layers.new("NOPLOT", dxfattribs={"plot": 0, "color": 4})
        line = doc.modelspace().add_line((1, 2, 3), (-4.25, 1e-7, 123456.789), dxfattribs={"layer": "NOPLOT"})
        line.set_xdata("BINKINDS", [(1002, "{"), (1071, 305419896), (1070, -2), (1004, b"\x00\x7f\x80\xff"),
                                    (1005, line.dxf.handle), (1041, 0.1), (1002, "}")])
        doc.saveas(f"{out}/{version}.dxf")
        doc.saveas(f"{out}/{version}-bin.dxf", fmt="bin")


if __name__ == "__main__":
    main()
