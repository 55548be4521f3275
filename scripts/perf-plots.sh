#!/usr/bin/env bash
# Plots of the performance results (gnuplot with the pngcairo terminal, e.g.
# from the package gnuplot-nox):
#   docs/perf/walk-time.png  time per complete walk and per varbind against
#                            members, Oracle RAC, from
#                            build/bench/results/inprocess-oracle-*.json
#                            (scripts/bench-inprocess.sh)
#   docs/perf/memory.png     velmond's resident memory and threads against
#                            members, from build/bench/results/host-cost.csv
#                            (scripts/perf-host-cost.sh); skipped without it
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
results=$root/build/bench/results
docs=$root/docs/perf
plots=$root/bench/plots

command -v gnuplot >/dev/null || { echo "gnuplot is missing (apt-get install -y gnuplot-nox)" >&2; exit 1; }
mkdir -p "$docs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shopt -s nullglob
oracle=("$results"/inprocess-oracle-*.json)
if [ ${#oracle[@]} -eq 0 ]; then
  echo "no $results/inprocess-oracle-*.json: run scripts/bench-inprocess.sh first" >&2
  exit 1
fi
python3 "$plots/extract_inprocess.py" oracle "$work/oracle.dat" "${oracle[@]}"
gnuplot -e "data='$work/oracle.dat'; out='$docs/walk-time.png'" "$plots/walk-time.gp"
echo "wrote $docs/walk-time.png"

if [ -f "$results/host-cost.csv" ]; then
  gnuplot -e "data='$results/host-cost.csv'; out='$docs/memory.png'" "$plots/memory.gp"
  echo "wrote $docs/memory.png"
else
  echo "no $results/host-cost.csv (scripts/perf-host-cost.sh writes it): memory.png skipped" >&2
fi
