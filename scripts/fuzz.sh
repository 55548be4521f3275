#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan+UBSan) and runs every fuzz
# target for the given number of seconds (default 60), one after another, on a
# scratch copy of its corpus in fuzz/corpus/<name>/ with its dictionary (the
# repository's corpus never grows here: scripts/fuzz-campaign.sh grows it).
# Any crash, leak, timeout or broken invariant makes the script fail; the
# inputs that caused them are left in the work directory it names. Prints the
# executions per target at the end.
#
#   scripts/fuzz.sh [seconds-per-target]
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
declare -A executions result
failed=0
for target in "${targets[@]}"; do
  corpus="$work/$target/corpus"
  artifacts="$work/$target/artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  log="$work/$target/log"
  echo "=== $target: ${seconds}s"
  status=0
  # shellcheck disable=SC2046
  "$(fuzz_binary "$target")" "$corpus" -max_total_time="$seconds" $(fuzz_options "$target") \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  executions[$target]=${runs:-?}
  if [ "$status" -ne 0 ] || compgen -G "$artifacts/*" >/dev/null; then
    result[$target]="FAILED (exit $status)"
    failed=1
    echo "--- $target failed; last lines of $log:"
    tail -n 60 "$log"
    ls -l "$artifacts"
  else
    result[$target]=ok
  fi
done

echo
printf '%-12s %14s  %s\n' target executions result
for target in "${targets[@]}"; do
  printf '%-12s %14s  %s\n' "$target" "${executions[$target]}" "${result[$target]}"
done
exit "$failed"
