#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan+UBSan) and runs every fuzz
# target for the given number of seconds (default 60), as many at once as
# there are cores (or JOBS), each on a scratch copy of its corpus in
# fuzz/corpus/<name>/ with its dictionary (the repository's corpus never
# grows here: scripts/fuzz-campaign.sh grows it).
# Any crash, leak, timeout or broken invariant makes the script fail; the
# inputs that caused them are left in the work directory it names. Prints the
# executions per target at the end.
#
#   [JOBS=n] scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh
seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi
mapfile -t targets < <(fuzz_targets)
fuzz_build

work=$(mktemp -d /tmp/velmon-fuzz.XXXXXX)
echo "=== fuzz work directory: $work"
# One target per core at a time: each run is a single process.
jobs=${JOBS:-$(nproc)}

# Runs one target; leaves its executions and result in the work directory.
run_target() {
  local target=$1
  local corpus="$work/$target/corpus" artifacts="$work/$target/artifacts" log="$work/$target/log"
  local status=0 runs
  mkdir -p "$corpus" "$artifacts"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  # shellcheck disable=SC2046
  "$(fuzz_binary "$target")" "$corpus" -max_total_time="$seconds" $(fuzz_options "$target") \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "${runs:-?}" >"$work/$target/executions"
  if [ "$status" -ne 0 ] || compgen -G "$artifacts/*" >/dev/null; then
    echo "FAILED (exit $status)" >"$work/$target/result"
  else
    echo ok >"$work/$target/result"
  fi
}

running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "=== $target: ${seconds}s"
  run_target "$target" &
  running=$((running + 1))
done
wait || true

failed=0
for target in "${targets[@]}"; do
  if [ "$(cat "$work/$target/result")" != ok ]; then
    failed=1
    echo "--- $target failed; last lines of $work/$target/log:"
    tail -n 60 "$work/$target/log"
    ls -l "$work/$target/artifacts"
  fi
done

echo
printf '%-12s %14s  %s\n' target executions result
for target in "${targets[@]}"; do
  printf '%-12s %14s  %s\n' "$target" "$(cat "$work/$target/executions")" "$(cat "$work/$target/result")"
done
exit "$failed"
