#!/usr/bin/env bash
# Measures what each fuzz dictionary (fuzz/<name>_fuzzer.dict) is worth: runs
# the target twice at the same time, with and without its dictionary, for the
# given minutes (default 3), both from the committed corpus with the same
# random seed, and prints the edges each run's corpus covers. Running the two
# side by side gives both the same share of a busy machine.
#
#   [SEED=n] [REV=commit] [NO_CORPUS=1] [FUZZ_BUILD=0] scripts/fuzz-dict-gain.sh [minutes] [target...]
#
# SEED (default 1) is the random seed of both runs: repeat with others to see
# how much of a difference is chance. REV (default HEAD) is the commit whose
# corpus both runs start from; NO_CORPUS=1 starts them from nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh

minutes=${1:-3}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "usage: $0 [minutes] [target...]" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in $(fuzz_targets); do
    [ -f "fuzz/${target}_fuzzer.dict" ] && targets+=("$target")
  done
fi
[ "${FUZZ_BUILD:-1}" = 0 ] || fuzz_build

work=$(mktemp -d /tmp/velmon-dict-gain.XXXXXX)
echo "=== work directory: $work"
results=()
for target in "${targets[@]}"; do
  dict="fuzz/${target}_fuzzer.dict"
  [ -f "$dict" ] || { echo "$0: $target has no dictionary" >&2; exit 2; }
  seed="$work/$target/seed"
  mkdir -p "$seed"
  [ "${NO_CORPUS:-0}" = 1 ] || git archive "${REV:-HEAD}" "fuzz/corpus/$target" | tar -x -C "$seed" --strip-components=3
  pids=()
  for variant in without with; do
    dir="$work/$target/$variant"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp -R "$seed/." "$dir/corpus/"
    extra=()
    [ "$variant" = with ] && extra=(-dict="$dict")
    "$(fuzz_binary "$target")" "$dir/corpus" -seed="${SEED:-1}" -max_total_time=$((minutes * 60)) -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "${extra[@]}" >"$dir/log" 2>&1 &
    pids+=($!)
  done
  echo "=== $target: ${minutes} min with and without $dict"
  wait "${pids[@]}" || true
  row="$target $(fuzz_edges "$target" "$seed")"
  for variant in without with; do
    dir="$work/$target/$variant"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    row+=" $(fuzz_edges "$target" "$dir/corpus") ${runs:-?}"
  done
  results+=("$row")
done

echo
printf '%-12s %10s %15s %12s %15s %12s\n' target seed-edges edges-without execs edges-with execs
for row in "${results[@]}"; do
  # shellcheck disable=SC2086
  printf '%-12s %10s %15s %12s %15s %12s\n' $row
done
