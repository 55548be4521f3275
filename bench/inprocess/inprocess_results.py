"""Reads the JSON of one velmon_bench_<backend> run into a flat record.

load(path) -> {
  "backend": str, "members": int,
  "init_to_complete_ms": float, "walk_varbinds": int,
  "benchmarks": {name: {"ns_per_varbind", "varbinds", "cpu_ns", "real_ns"}},
}
Times are per iteration (a whole walk for WalkView) in nanoseconds; with
repetitions the median aggregate is taken, else the single run.
"""
import json

_TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def _pick(runs):
    """The median aggregate of each benchmark, or its only iteration run."""
    chosen = {}
    for run in runs:
        name = run.get("run_name", run["name"])
        if run.get("error_occurred"):
            raise ValueError(f"{name}: {run.get('error_message', 'error')}")
        if run.get("run_type") == "aggregate":
            if run.get("aggregate_name") == "median":
                chosen[name] = run
        elif name not in chosen or chosen[name].get("run_type") != "aggregate":
            chosen.setdefault(name, run)
    return chosen


def load(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    context = data["context"]
    record = {
        "backend": context["backend"],
        "members": int(context["members"]),
        "init_to_complete_ms": float(context["init_to_complete_ms"]),
        "walk_varbinds": int(context["walk_varbinds"]),
        "benchmarks": {},
    }
    for name, run in _pick(data["benchmarks"]).items():
        unit = _TO_NS[run.get("time_unit", "ns")]
        record["benchmarks"][name] = {
            "ns_per_varbind": run["time_per_varbind"] * 1e9,
            "varbinds": run["varbinds"],
            "cpu_ns": run["cpu_time"] * unit,
            "real_ns": run["real_time"] * unit,
        }
    return record


def load_all(paths):
    """Records sorted by back-end, then members."""
    return sorted((load(p) for p in paths), key=lambda r: (r["backend"], r["members"]))
