#!/usr/bin/env python3
"""Prints the summary table of in-process benchmark results.

  summarize_results.py build/bench/results/inprocess-*.json

One row per world: ns per varbind (CPU) of each benchmark, the varbinds and
CPU time of a complete walk, and the time from SnmpExtensionInit to the
complete MIB. Then, per back-end, how the walk's cost per varbind grew from
the smallest world to the largest against the growth in members.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import inprocess_results  # noqa: E402

COLUMNS = ["GetScalar", "GetCell", "GetNodeState", "GetNextInColumn", "WalkView"]


def main(paths):
    records = inprocess_results.load_all(paths)
    header = ["backend", "members"] + COLUMNS + ["walk_vb", "walk_ms", "init_ms"]
    print("ns per varbind (CPU time, median); walk_ms: CPU time of one complete walk; "
          "init_ms: SnmpExtensionInit to the complete MIB, median over processes")
    print(" ".join(f"{h:>15}" if i > 1 else f"{h:>8}" for i, h in enumerate(header)))
    for r in records:
        b = r["benchmarks"]
        cells = [f"{r['backend']:>8}", f"{r['members']:>8}"]
        cells += [f"{b[c]['ns_per_varbind']:>15.0f}" if c in b else f"{'-':>15}" for c in COLUMNS]
        walk = b.get("WalkView")
        cells.append(f"{r['walk_varbinds']:>15}")
        cells.append(f"{walk['cpu_ns'] / 1e6:>15.3f}" if walk else f"{'-':>15}")
        cells.append(f"{r['init_to_complete_ms']:>15.1f}")
        print(" ".join(cells))
    print()
    for backend in sorted({r["backend"] for r in records}):
        runs = [r for r in records if r["backend"] == backend and "WalkView" in r["benchmarks"]]
        if len(runs) < 2:
            continue
        first, last = runs[0], runs[-1]
        cost = last["benchmarks"]["WalkView"]["ns_per_varbind"] / first["benchmarks"]["WalkView"]["ns_per_varbind"]
        walk = last["benchmarks"]["WalkView"]["cpu_ns"] / first["benchmarks"]["WalkView"]["cpu_ns"]
        members = last["members"] / first["members"]
        print(f"{backend}: {first['members']} -> {last['members']} members (x{members:.0f}): "
              f"walk ns/varbind x{cost:.2f}, walk time x{walk:.1f}")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: summarize_results.py RESULT.json...")
    main(sys.argv[1:])
