"""The equipment statistics' reading work done with ezdxf, for comparison:
reads every drawing of the project (the *.dxf files of DIR), walks its model
space and collects "XMDH", "SBMC" and "XHGG" of every block reference and
text, keeping each designation once.

usage: esbbtj_ezdxf.py DIR [--limit N] [--ours JSON ...]

Prints "ezdxf: N drawings, R records, S seconds". With --limit only the
first N drawings are read and the time is scaled to the whole project.
With --ours (the --benchmark_out files of esbbtj_bench, one per process)
it also prints the comparison: statistics against loading alone (target:
at most 1.3 times), against ezdxf (target: at least 30 times faster), and
the peak memory of the statistics against that of loading the largest
drawing alone. A missed target is reported, not an error.
"""
import json
import argparse
import glob
import os
import sys
import time

import ezdxf


def first_string(entity, app):
    if not entity.has_xdata(app):
        return None
    for code, value in entity.get_xdata(app):
        if code == 1000:
            return value
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--ours", nargs="*", default=[])
    args = parser.parse_args()
    files = sorted(glob.glob(os.path.join(args.dir, "*.dxf")))
    total = len(files)
    if args.limit:
        files = files[: args.limit]
    if not files:
        print(f"esbbtj_ezdxf: no drawings in {args.dir}", file=sys.stderr)
        return 1
    records = {}
    start = time.perf_counter()
    for path in files:
        doc = ezdxf.readfile(path)
        for e in doc.modelspace():
            if e.dxftype() not in ("INSERT", "TEXT"):
                continue
            designation = first_string(e, "XMDH")
            model = first_string(e, "XHGG")
            if designation is None or model is None:
                continue
            name = first_string(e, "SBMC") or ""
            records.setdefault(designation.lstrip(), (name, model))
        del doc
    seconds = time.perf_counter() - start
    scaled = seconds * total / len(files)
    print(f"ezdxf: {len(files)} drawings, {len(records)} records, {seconds:.3f} seconds"
          + (f" (whole project of {total}: about {scaled:.1f} seconds)" if len(files) < total else ""))
    if args.ours:
        compare(args.ours, scaled)
    return 0


def compare(paths, ezdxf_seconds):
    ours = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            for b in json.load(f).get("benchmarks", []):
                if b.get("error_occurred"):
                    print(f"esbbtj_ezdxf: {b['name']} failed: {b.get('error_message')}", file=sys.stderr)
                    sys.exit(1)
                ours[b["name"].split("/")[0]] = b
    need = ("BM_LoadOnly", "BM_Esbbtj", "BM_LoadLargest")
    if any(n not in ours for n in need):
        print("esbbtj_ezdxf: missing benchmark results", file=sys.stderr)
        sys.exit(1)
    ms = {n: ours[n]["real_time"] for n in need}  # milliseconds
    rss = {n: ours[n]["peak_rss_MB"] for n in need}
    ratio_load = ms["BM_Esbbtj"] / ms["BM_LoadOnly"]
    ratio_ezdxf = ezdxf_seconds * 1000.0 / ms["BM_Esbbtj"]
    print(f"{'':28}{'time':>12}{'peak memory':>14}")
    print(f"{'load every drawing':28}{ms['BM_LoadOnly']:>10.0f} ms{rss['BM_LoadOnly']:>11.1f} MB")
    print(f"{'(esbbtj 1)':28}{ms['BM_Esbbtj']:>10.0f} ms{rss['BM_Esbbtj']:>11.1f} MB")
    print(f"{'load the largest drawing':28}{ms['BM_LoadLargest']:>10.1f} ms{rss['BM_LoadLargest']:>11.1f} MB")
    print(f"{'ezdxf reading the values':28}{ezdxf_seconds * 1000:>10.0f} ms")
    print(f"statistics / loading: {ratio_load:.2f} (target at most 1.3: "
          f"{'met' if ratio_load <= 1.3 else 'missed'})")
    print(f"ezdxf / statistics: {ratio_ezdxf:.1f} (target at least 30: "
          f"{'met' if ratio_ezdxf >= 30 else 'missed'})")
    print(f"peak memory of the statistics / of the largest drawing: {rss['BM_Esbbtj'] / rss['BM_LoadLargest']:.2f}")


if __name__ == "__main__":
    sys.exit(main())
