"""Opens DXF files with ezdxf and audits them.

usage: audit_dxf.py FILE...

Prints one line per file: its path, the number of audit errors and fixes.
Exits 1 when any file cannot be read or has audit errors.
"""
import sys

import ezdxf


def main(paths):
    bad = 0
    for path in paths:
        try:
            doc = ezdxf.readfile(path)
        except Exception as e:  # noqa: BLE001 - report any reader failure
            print(f"{path}: cannot read: {e}")
            bad += 1
            continue
        auditor = doc.audit()
        print(f"{path}: {len(auditor.errors)} errors, {len(auditor.fixes)} fixes")
        if auditor.errors:
            bad += 1
            for err in auditor.errors:
                print(f"  {err.message}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
