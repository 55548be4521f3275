#!/usr/bin/env bash
# In-process benchmarks of the agent: builds the bench preset, runs each
# world (back-end and member count) in its own process, leaves the Google
# Benchmark JSON in build/bench/results/inprocess-<backend>-<N>.json and
# prints a summary table (ns per varbind of each benchmark, varbinds and CPU
# time of a complete walk, median time from SnmpExtensionInit to the
# complete MIB over several processes).
#
#   scripts/bench-inprocess.sh            # all worlds, a minute or two
#
# Environment:
#   VELMON_BENCH_WORLDS       worlds to run (default: Oracle RAC 2 16 64 128 256,
#                             MSCS and Brennic 2 16 256), e.g. "oracle:256 mscs:16"
#   VELMON_BENCH_MIN_TIME     seconds per benchmark and repetition (default 0.1)
#   VELMON_BENCH_REPETITIONS  repetitions; the summary takes medians (default 5)
#   VELMON_BENCH_STARTUPS     processes that measure the start-up time, the
#                             benchmark run included (default 3)
#   VELMON_BENCH_BUILD_DIR    an already configured build directory to build
#                             and run instead of the bench preset's
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

worlds=${VELMON_BENCH_WORLDS:-"oracle:2 oracle:16 oracle:64 oracle:128 oracle:256 mscs:2 mscs:16 mscs:256 brennic:2 brennic:16 brennic:256"}
min_time=${VELMON_BENCH_MIN_TIME:-0.1}
repetitions=${VELMON_BENCH_REPETITIONS:-5}
startups=${VELMON_BENCH_STARTUPS:-3}
results=$root/build/bench/results

targets=()
for world in $worlds; do
  backend=${world%%:*}
  [[ " ${targets[*]} " == *" velmon_bench_$backend "* ]] || targets+=("velmon_bench_$backend")
done

if [ -n "${VELMON_BENCH_BUILD_DIR:-}" ]; then
  build=$VELMON_BENCH_BUILD_DIR
  cmake --build "$build" -j2 --target "${targets[@]}"
else
  build=$root/build/bench
  cmake --preset bench
  cmake --build --preset bench -j2
fi

mkdir -p "$results"
files=()
for world in $worlds; do
  backend=${world%%:*}
  members=${world##*:}
  out=$results/inprocess-$backend-$members.json
  echo "== $backend, $members members" >&2
  log=$results/inprocess-$backend-$members.log
  if ! "$build/bench/inprocess/velmon_bench_$backend" --members="$members" \
    --benchmark_min_time="$min_time" --benchmark_repetitions="$repetitions" \
    --benchmark_out="$out" --benchmark_out_format=json >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    exit 1
  fi
  extra=()
  for ((run = 2; run <= startups; run++)); do
    line=$("$build/bench/inprocess/velmon_bench_$backend" --members="$members" --startup-only | grep '^init_to_complete_ms=')
    extra+=("${line#*=}")
  done
  python3 "$root/bench/inprocess/merge_startup_runs.py" "$out" "${extra[@]}"
  files+=("$out")
done

python3 "$root/bench/inprocess/summarize_results.py" "${files[@]}"
