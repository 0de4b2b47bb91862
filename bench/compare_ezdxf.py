"""Compares our DXF reader and writer with ezdxf on the same drawing.

usage: compare_ezdxf.py --dxf FILE --ours BENCH_JSON [--runs N] [--ctrlsch PROGRAM]

BENCH_JSON is the --benchmark_out file of dxf_bench run on FILE. With
--ctrlsch, the peak resident memory of `ctrlsch run` opening FILE and saving
it under another name (SAVEAS) is measured, against the file size. ezdxf
loads FILE with ezdxf.readfile and saves it with doc.saveas, each timed with
time.perf_counter, best of N runs (2 by default). Prints a table of speeds
(MB = 10^6 bytes), the ratios and our heap per file byte, and says which
targets are met. Exits 1 when a tool failed (unreadable JSON, a failed
benchmark, an ezdxf error); a missed target is only reported.
"""
import argparse
import gc
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

MB = 1.0e6
TARGET_RATIO = 50.0
TARGET_HEAP = 3.0
TARGET_PEAK = 3.0
TARGET_SCAN = 2.0


def fail(msg):
    print(f"compare_ezdxf: {msg}", file=sys.stderr)
    sys.exit(1)


def our_results(path):
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        fail(f"cannot read {path}: {e}")
    found = {}
    for b in data.get("benchmarks", []):
        name = b.get("name", "")
        if not name.startswith("dxf/"):
            continue
        kind = name.split("/")[1]
        if b.get("error_occurred"):
            fail(f"{name} failed: {b.get('error_message', '?')}")
        found[kind] = b
    for kind in ("load", "save"):
        if kind not in found:
            fail(f"{path} has no dxf/{kind} result")
    return found, data.get("context", {})


def rss_bytes():
    """Resident memory of this process now (0 when /proc is missing)."""
    try:
        with open("/proc/self/statm") as f:
            return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")
    except (OSError, ValueError, IndexError):
        return 0


def peak_rss(argv, env):
    """Peak resident bytes of a program run to its end (fails on an error)."""
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    err = proc.stderr.read().decode("utf-8", "replace")
    proc.stderr.close()
    if proc.returncode != 0:
        fail(f"{' '.join(argv)} failed ({proc.returncode}): {err[-2000:]}")
    return usage.ru_maxrss * 1024


def ctrlsch_peak(program, dxf_path):
    """Peak RSS of `ctrlsch run` opening the drawing and saving it as
    another file, and of a run that does nothing (the program alone)."""
    work = tempfile.mkdtemp(prefix="ctrlsch_peak.", dir=os.path.dirname(dxf_path) or ".")
    saved = os.path.join(work, "saved.dxf")
    script = os.path.join(work, "open_save.scr")
    idle = os.path.join(work, "idle.scr")
    # Measured as tuned for large drawings (CTRLSCH_TUNE), as the benchmarks run.
    env = dict(os.environ, CTRLSCH_SETTINGS=os.path.join(work, "settings.json"), CTRLSCH_TUNE="1")
    try:
        with open(script, "w", encoding="utf-8") as f:
            f.write(f"OPEN {os.path.abspath(dxf_path)}\nSAVEAS {saved}\n")
        with open(idle, "w", encoding="utf-8") as f:
            f.write("(princ)\n")
        peak = peak_rss([program, "run", script], env)
        if not os.path.exists(saved) or os.path.getsize(saved) == 0:
            fail(f"ctrlsch run did not save {saved}")
        base = peak_rss([program, "run", idle], env)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return peak, base


def time_ezdxf(dxf_path, runs):
    import ezdxf

    load_best = save_best = float("inf")
    entities = None
    rss_growth = 0
    saved_bytes = 0
    out_dir = tempfile.mkdtemp(prefix="ezdxf_bench.", dir=os.path.dirname(dxf_path) or ".")
    out_path = os.path.join(out_dir, "saved.dxf")
    try:
        for run in range(runs):
            gc.collect()
            before = rss_bytes()
            t0 = time.perf_counter()
            doc = ezdxf.readfile(dxf_path)
            load_best = min(load_best, time.perf_counter() - t0)
            if run == 0:
                rss_growth = rss_bytes() - before
                entities = len(doc.modelspace())
            print(f"  ezdxf load run {run + 1}: {load_best:.2f} s best so far", file=sys.stderr)
            if run + 1 < runs:
                del doc
                gc.collect()
        # The last document loaded is the one saved.
        for run in range(runs):
            t0 = time.perf_counter()
            doc.saveas(out_path)
            save_best = min(save_best, time.perf_counter() - t0)
            saved_bytes = os.path.getsize(out_path)
            print(f"  ezdxf save run {run + 1}: {save_best:.2f} s best so far", file=sys.stderr)
        del doc
    finally:
        if os.path.exists(out_path):
            os.unlink(out_path)
        os.rmdir(out_dir)
    return load_best, save_best, entities, rss_growth, saved_bytes


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--dxf", required=True, help="the drawing both tools read")
    ap.add_argument("--ours", required=True, help="dxf_bench JSON output")
    ap.add_argument("--runs", type=int, default=2, help="ezdxf runs per operation (best counts)")
    ap.add_argument("--ctrlsch", help="the ctrlsch program: measure the peak memory of open and save")
    args = ap.parse_args()
    if args.runs < 1:
        fail("--runs must be at least 1")

    try:
        size = os.path.getsize(args.dxf)
    except OSError as e:
        fail(f"cannot read {args.dxf}: {e}")
    if size == 0:
        fail(f"{args.dxf} is empty")
    ours, context = our_results(args.ours)
    load, save = ours["load"], ours["save"]
    our_load = load["bytes_per_second"] / MB
    our_save = save["bytes_per_second"] / MB
    heap_ratio = load.get("heap_per_file")
    if heap_ratio is None:
        fail("the load result has no heap_per_file counter")
    our_file = int(context.get("dxf_file_bytes", -1))
    if our_file != size:
        fail(f"the benchmark ran on a drawing of {our_file} bytes, {args.dxf} has {size}")

    peak = None
    if args.ctrlsch:
        peak, idle = ctrlsch_peak(args.ctrlsch, args.dxf)
    print(f"ezdxf on {args.dxf} ({size / MB:.2f} MB), best of {args.runs}:", file=sys.stderr)
    try:
        ez_load_s, ez_save_s, ez_entities, ez_rss, ez_saved = time_ezdxf(args.dxf, args.runs)
    except Exception as e:  # any ezdxf failure makes the comparison void
        fail(f"ezdxf failed: {type(e).__name__}: {e}")
    ez_load = size / MB / ez_load_s
    ez_save = ez_saved / MB / ez_save_s

    our_entities = int(load.get("entities", -1))
    if ez_entities != our_entities:
        print(f"warning: ezdxf sees {ez_entities} model-space entities, we see {our_entities}")

    load_ratio = our_load / ez_load
    save_ratio = our_save / ez_save
    rows = [
        ("file size", f"{size / MB:.2f} MB", ""),
        ("model-space entities", f"{our_entities}", f"ezdxf {ez_entities}"),
        ("our load", f"{our_load:.1f} MB/s", f"{load['real_time']:.0f} ms, mean of {load['iterations']}"),
        ("our save", f"{our_save:.1f} MB/s", f"{save['real_time']:.0f} ms, mean of {save['iterations']}, fsync"),
    ]
    if "format" in ours:
        fmt = ours["format"]
        rows.append(("our format (no disk)", f"{fmt['bytes_per_second'] / MB:.1f} MB/s", f"{fmt['real_time']:.0f} ms"))
    if "disk_floor" in ours:
        floor = ours["disk_floor"]
        rows.append(("disk floor (write+fsync)", f"{floor['bytes_per_second'] / MB:.1f} MB/s",
                     f"{floor['real_time']:.0f} ms, the same bytes without formatting"))
    if "load_vs_scan" in ours:
        lvs = ours["load_vs_scan"]
        rows.append(("bare scan (tags, numbers)", f"{lvs['scan_MB_per_s']:.1f} MB/s",
                     "the file read in blocks and split, nothing built"))
        rows.append(("load / bare scan", f"{lvs['load_over_scan_cpu']:.2f}x",
                     f"processor time ({lvs['load_over_scan']:.2f}x by the clock), best of "
                     f"{lvs['iterations']} in turns; target <= {TARGET_SCAN:.0f}x"))
    rows += [
        ("ezdxf load", f"{ez_load:.2f} MB/s", f"{ez_load_s * 1000:.0f} ms"),
        ("ezdxf save", f"{ez_save:.2f} MB/s", f"{ez_save_s * 1000:.0f} ms"),
        ("load ratio ours/ezdxf", f"{load_ratio:.1f}x", f"target >= {TARGET_RATIO:.0f}x"),
        ("save ratio ours/ezdxf", f"{save_ratio:.1f}x", f"target >= {TARGET_RATIO:.0f}x"),
        ("our heap / file size", f"{heap_ratio:.2f}", f"{load.get('heap_MB', 0):.1f} MB; target < {TARGET_HEAP:.0f}"),
        ("ezdxf RSS growth / file", f"{ez_rss / size:.2f}", "for reference"),
    ]
    if peak is not None:
        rows.append(("peak RSS open+save / file", f"{peak / size:.2f}",
                     f"{peak / MB:.1f} MB, ctrlsch run OPEN + SAVEAS (the program alone: "
                     f"{idle / MB:.1f} MB); target < {TARGET_PEAK:.0f}"))
    w0 = max(len(r[0]) for r in rows)
    w1 = max(len(r[1]) for r in rows)
    print()
    for label, value, note in rows:
        print(f"{label:<{w0}}  {value:>{w1}}  {note}")
    print()
    checks = [
        ("load speed", load_ratio >= TARGET_RATIO, f"{load_ratio:.1f}x ezdxf (target {TARGET_RATIO:.0f}x)"),
        ("save speed", save_ratio >= TARGET_RATIO, f"{save_ratio:.1f}x ezdxf (target {TARGET_RATIO:.0f}x)"),
        ("memory", heap_ratio < TARGET_HEAP, f"{heap_ratio:.2f} x file size (target < {TARGET_HEAP:.0f})"),
    ]
    if peak is not None:
        checks.append(("peak memory", peak / size < TARGET_PEAK,
                       f"{peak / size:.2f} x file size opening and saving (target < {TARGET_PEAK:.0f})"))
    if "load_vs_scan" in ours:
        ratio = ours["load_vs_scan"]["load_over_scan_cpu"]
        checks.append(("load vs bare scan", ratio <= TARGET_SCAN,
                       f"{ratio:.2f}x the bare scan's time (target <= {TARGET_SCAN:.0f}x)"))
    for name, ok, what in checks:
        print(f"{'met   ' if ok else 'MISSED'} {name}: {what}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
