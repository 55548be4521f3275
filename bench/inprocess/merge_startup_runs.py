#!/usr/bin/env python3
"""Folds repeated start-up measurements into one benchmark result.

  merge_startup_runs.py RESULT.json MS...

The start-up time (SnmpExtensionInit to the complete MIB) is measured once
per process; further processes started with --startup-only add samples.
The result's context then holds them all in "init_to_complete_ms_runs" and
their median in "init_to_complete_ms".
"""
import json
import statistics
import sys


def main(path, extra):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    context = data["context"]
    runs = [float(context["init_to_complete_ms"])] + [float(v) for v in extra]
    context["init_to_complete_ms_runs"] = [f"{v:.3f}" for v in runs]
    context["init_to_complete_ms"] = f"{statistics.median(runs):.3f}"
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=2)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: merge_startup_runs.py RESULT.json MS...")
    main(sys.argv[1], sys.argv[2:])
