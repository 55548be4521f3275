#!/usr/bin/env python3
"""Writes a gnuplot data file of one back-end's in-process results.

  extract_inprocess.py BACKEND OUT.dat RESULT.json...

Columns, one row per member count (ascending): members, walk varbinds,
CPU ms per complete walk, then ns per varbind (CPU) of WalkView, GetCell,
GetNextInColumn, GetNodeState, GetScalar, then init-to-complete ms and the
walk time that growth proportional to members from the smallest world
would give (a reference line).
Exits with status 1 when no result is of that back-end.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "inprocess"))
import inprocess_results  # noqa: E402

PER_VARBIND = ["WalkView", "GetCell", "GetNextInColumn", "GetNodeState", "GetScalar"]


def main(backend, out, paths):
    records = [r for r in inprocess_results.load_all(paths) if r["backend"] == backend]
    if not records:
        print(f"no {backend} results among {len(paths)} files", file=sys.stderr)
        return 1
    with open(out, "w", encoding="utf-8") as f:
        f.write("# members walk_varbinds walk_ms " + " ".join(PER_VARBIND) + " init_ms walk_ms_linear\n")
        for r in records:
            b = r["benchmarks"]
            row = [str(r["members"]), str(r["walk_varbinds"]), f"{b['WalkView']['cpu_ns'] / 1e6:.6f}"]
            row += [f"{b[n]['ns_per_varbind']:.1f}" if n in b else "NaN" for n in PER_VARBIND]
            row.append(f"{r['init_to_complete_ms']:.3f}")
            first = records[0]
            linear = first["benchmarks"]["WalkView"]["cpu_ns"] / 1e6 * r["members"] / first["members"]
            row.append(f"{linear:.6f}")
            f.write(" ".join(row) + "\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit("usage: extract_inprocess.py BACKEND OUT.dat RESULT.json...")
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
