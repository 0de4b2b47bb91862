"""Reads a DXF file with ezdxf and writes it anew with ezdxf.

usage: ezdxf_rewrite.py IN OUT

The output is ezdxf's own rendering of the same entities, blocks and
extended data.
"""
import sys

import ezdxf


def main(src, dst):
    doc = ezdxf.readfile(src)
    doc.saveas(dst)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
