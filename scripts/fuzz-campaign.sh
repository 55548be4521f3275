#!/usr/bin/env bash
# A fuzzing campaign that keeps what it finds. Runs every fuzz target (or the
# ones named) for the given minutes (default 10) in libFuzzer's fork mode with
# JOBS parallel jobs (default: every core), starting from fuzz/corpus/<name>/
# and the target's dictionary, then merges the new inputs into that corpus
# minimized (-merge=1 -use_counters=0: only inputs that reach an edge the
# corpus does not, named by content, so no duplicates). Writes a row per
# target (executions, edges covered by the corpus before and after, corpus
# files, findings) into the campaign table of docs/RELIABILITY.md; rows of
# targets not run stay as they were.
#
# A finding (crash, leak, timeout, out-of-memory) is kept twice: in the work
# directory the script names, and in the target's corpus so that
# scripts/fuzz.sh replays it until the fault is fixed. Any finding fails the
# script.
#
#   [JOBS=n] [FUZZ_BUILD=0] scripts/fuzz-campaign.sh [minutes-per-target] [target...]
#
# FUZZ_BUILD=0 uses the fuzzers already in build/fuzz instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh

minutes=${1:-10}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "usage: $0 [minutes-per-target] [target...]" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
jobs=${JOBS:-$(nproc)}
if ! [[ $jobs =~ ^[0-9]+$ ]] || [ "$jobs" -lt 1 ]; then
  echo "$0: JOBS must be a positive number" >&2
  exit 2
fi
mapfile -t known < <(fuzz_targets)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${known[@]}")
for target in "${targets[@]}"; do
  if ! [ -f "fuzz/${target}_fuzzer.cpp" ]; then
    echo "$0: no fuzz target $target (known: ${known[*]})" >&2
    exit 2
  fi
done

[ "${FUZZ_BUILD:-1}" = 0 ] || fuzz_build

work=$(mktemp -d /tmp/velmon-campaign.XXXXXX)
echo "=== campaign work directory: $work"
rows="$work/rows"
: >"$rows"
failed=0
count_files() { find "$1" -maxdepth 1 -type f | wc -l; }

for target in "${targets[@]}"; do
  corpus="fuzz/corpus/$target"
  mkdir -p "$corpus"
  new="$work/$target/new"
  findings="$work/$target/findings"
  log="$work/$target/log"
  mkdir -p "$new" "$findings"
  files_before=$(count_files "$corpus")
  edges_before=$(fuzz_edges "$target" "$corpus")
  echo "=== $target: ${minutes} min, $jobs job(s), $edges_before edges from $files_before files"

  # New inputs land in the first directory; the corpus itself is only read.
  # Crashes, timeouts and running out of memory end a job, not the campaign.
  # shellcheck disable=SC2046
  "$(fuzz_binary "$target")" -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time=$((minutes * 60)) $(fuzz_options "$target") -artifact_prefix="$findings/" \
    "$new" "$corpus" >"$log" 2>&1 || echo "--- $target: the fuzzer exited with $? (see $log)"
  executions=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$log" | tail -1)

  # Keep the new inputs that reach edges the corpus does not. Without hit
  # counts the merge keeps several times fewer files for the same edges.
  merge_log="$work/$target/merge.log"
  if ! "$(fuzz_binary "$target")" -merge=1 -use_counters=0 -rss_limit_mb=2048 -timeout=10 "$corpus" "$new" \
    >"$merge_log" 2>&1; then
    echo "--- $target: merging failed; last lines of $merge_log:"
    tail -n 20 "$merge_log"
    failed=1
  fi

  found=0
  for finding in "$findings"/*; do
    [ -f "$finding" ] || continue
    found=$((found + 1))
    cp "$finding" "$corpus/"
  done
  if [ "$found" -gt 0 ]; then
    failed=1
    echo "--- $target: $found finding(s), kept in $findings and $corpus:"
    ls -l "$findings"
    grep -m 5 -A 12 '^==[0-9]*==ERROR\|runtime error\|invariant' "$log" || true
  fi

  files_after=$(count_files "$corpus")
  edges_after=$(fuzz_edges "$target" "$corpus")
  printf '| %s | %s | %s | %s | %s | %s | %s → %s | %s |\n' "$target" "$(date -u +%F)" "$minutes × $jobs" \
    "${executions:-?}" "$edges_before" "$edges_after" "$files_before" "$files_after" "$found" >>"$rows"
  echo "=== $target: ${executions:-?} executions, edges $edges_before → $edges_after," \
    "files $files_before → $files_after, $found finding(s)"
done

# Replace the rows of the targets run in the table between the markers,
# keeping the others, in target order.
doc=docs/RELIABILITY.md
begin='<!-- campaign table: rows written by scripts/fuzz-campaign.sh -->'
end='<!-- end of campaign table -->'
if ! grep -qF "$begin" "$doc" 2>/dev/null; then
  printf '\n%s\n%s\n' "$begin" "$end" >>"$doc"
fi
awk -v begin="$begin" -v end="$end" -v rows="$rows" '
  function emit(   n, i, keys) {
    while ((getline line < rows) > 0) { split(line, f, " \\| "); row[substr(f[1], 3)] = line }
    n = 0
    for (k in row) keys[++n] = k
    for (i = 2; i <= n; i++) for (j = i; j > 1 && keys[j - 1] > keys[j]; j--) { t = keys[j]; keys[j] = keys[j - 1]; keys[j - 1] = t }
    print "| Target | Run (UTC) | Minutes × jobs | Executions | Edges before | Edges after | Corpus files | Findings |"
    print "|---|---|---|---:|---:|---:|---:|---:|"
    for (i = 1; i <= n; i++) print row[keys[i]]
  }
  $0 == begin { print; inside = 1; next }
  $0 == end { emit(); inside = 0; print; next }
  inside && /^\| [a-z_0-9]+ \|/ { split($0, f, " \\| "); row[substr(f[1], 3)] = $0; next }
  inside { next }
  { print }
' "$doc" >"$work/doc" && cp "$work/doc" "$doc"

echo
cat "$rows"
exit "$failed"
