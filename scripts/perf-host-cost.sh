#!/usr/bin/env bash
# What velmond costs its host: resident memory (VmRSS), address space
# (VmSize) and threads, read from /proc/<pid>/status once the agent's MIB is
# complete, for Oracle RAC worlds of 2, 64 and 256 members (MEMBERS_LIST);
# the time from velmond's start to a complete MIB (velmond's own start-up
# included); and memory and threads again after WALKS further walks of the
# largest world, to show that serving requests does not make them grow.
# Prints a table and writes $BUILD_DIR/results/host-cost.csv (members,
# rss_kib, threads, vsz_kib) and host-cost-detail.csv (the times from start
# to the first answer and to a complete walk, and the numbers after the
# walks).
#
#   scripts/perf-host-cost.sh                       # builds with the bench preset
#   BUILD_DIR=build/mine scripts/perf-host-cost.sh  # another Release build dir
#
# Environment (defaults in brackets): BUILD_DIR [build/bench], SKIP_BUILD
# [0], MEMBERS_LIST ["2 64 256"], WALKS [300], REPETITIONS, the GetBulk
# max-repetitions of the walks [10], PORT [11663]. Only 127.0.0.1 is used.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$root/build/bench}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$root/$BUILD_DIR ;; esac
SKIP_BUILD=${SKIP_BUILD:-0}
MEMBERS_LIST=${MEMBERS_LIST:-2 64 256}
WALKS=${WALKS:-300}
REPETITIONS=${REPETITIONS:-10}
PORT=${PORT:-11663}
view=.1.3.6.1.4.1.32473.2.18.22.4.1

log() { printf '%s\n' "$*" >&2; }
die() { log "perf-host-cost: $*"; exit 1; }

# shellcheck source=scripts/perf-build.sh
. "$root/scripts/perf-build.sh"
perf_tools "$root" "$BUILD_DIR" "$SKIP_BUILD"  # sets velmond and probe

work=$(mktemp -d "${TMPDIR:-/tmp}/perf-host-cost.XXXXXX")
velmond_pid=
stop_velmond() {
  [ -n "$velmond_pid" ] || return 0
  kill -TERM "$velmond_pid" 2>/dev/null || true
  for _ in {1..50}; do kill -0 "$velmond_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$velmond_pid" 2>/dev/null || true
  wait "$velmond_pid" 2>/dev/null || true
  velmond_pid=
}
cleanup() {
  stop_velmond
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A value (in kB, or a count) from the status file of process $1.
status_field() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }

# Varbinds of one GetBulk walk of the view, or nothing when it fails.
walk_count() {
  "$probe" walk "127.0.0.1:$PORT" "$view" --count 1 --warmup 0 --repetitions "$REPETITIONS" --timeout-ms 1000 \
    2>/dev/null | tr ' ' '\n' | sed -n 's/^varbinds=//p' || true
}

# velmon-snmp-probe prints key=value pairs; $2 is the key to pick from line $1.
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

# Microseconds since the epoch.
now_us() { echo "${EPOCHREALTIME/./}"; }

csv=$work/host-cost.csv
detail=$work/host-cost-detail.csv
echo "members,rss_kib,threads,vsz_kib" >"$csv"
echo "members,answer_ms,startup_ms,varbinds,walks,rss_kib_after_walks,threads_after_walks,vsz_kib_after_walks" >"$detail"
read -r -a member_counts <<<"$MEMBERS_LIST"
largest=0
for members in "${member_counts[@]}"; do
  [ "$members" -gt "$largest" ] && largest=$members
done

for members in "${member_counts[@]}"; do
  world=$root/examples/worlds/oracle-rac-$members.toml
  if [ ! -f "$world" ]; then
    world=$work/oracle-rac-$members.toml
    "$root/scripts/velmond-make-rac-world.sh" "$members" >"$world"
  fi
  # Every member gives a node row (four columns) and a node-address row
  # (two), beside twelve scalar and cluster-address varbinds.
  expected=$((6 * members + 12))

  start=$(now_us)
  "$velmond" --world "$world" --listen "udp:127.0.0.1:$PORT" >"$work/velmond-$members.log" 2>&1 &
  velmond_pid=$!
  # Complete: a walk returns the expected count (the probe polls from one
  # process, so no process start-up lands in the time)...
  if line=$("$probe" wait "127.0.0.1:$PORT" "$view" --varbinds "$expected" --repetitions "$REPETITIONS" \
    --wait-ms 30000 2>"$work/wait.err"); then
    count=$expected
    answered=$(field "$line" answered_epoch_us)
    complete=$(field "$line" complete_epoch_us)
  else
    # ...or, should the MIB have changed shape, the same count over five polls.
    log "perf-host-cost: $(cat "$work/wait.err"); waiting for a stable count instead"
    count='' last='' same=0 answered='' complete=''
    for _ in {1..600}; do
      kill -0 "$velmond_pid" 2>/dev/null || break
      count=$(walk_count)
      if [ -n "$count" ] && [ "$count" = "$last" ]; then same=$((same + 1)); else same=0; fi
      if [ "$same" -ge 5 ]; then complete=$(now_us); break; fi
      last=$count
      sleep 0.02
    done
    answered=$complete
  fi
  if [ -z "$complete" ]; then
    tail -20 "$work/velmond-$members.log" >&2
    die "velmond with $members members did not answer a complete walk"
  fi
  rss=$(status_field "$velmond_pid" VmRSS)
  vsz=$(status_field "$velmond_pid" VmSize)
  threads=$(status_field "$velmond_pid" Threads)
  echo "$members,$rss,$threads,$vsz" >>"$csv"

  after_rss='' after_threads='' after_vsz='' walks=0
  if [ "$members" = "$largest" ]; then
    log "perf-host-cost: $WALKS walks of the $members-member world"
    "$probe" walk "127.0.0.1:$PORT" "$view" --count "$WALKS" --warmup 0 --repetitions "$REPETITIONS" >/dev/null
    walks=$WALKS
    after_rss=$(status_field "$velmond_pid" VmRSS)
    after_threads=$(status_field "$velmond_pid" Threads)
    after_vsz=$(status_field "$velmond_pid" VmSize)
  fi
  echo "$members,$(((answered - start) / 1000)),$(((complete - start) / 1000)),$count,$walks,$after_rss,$after_threads,$after_vsz" \
    >>"$detail"
  stop_velmond
done

mkdir -p "$BUILD_DIR/results"
cp "$csv" "$detail" "$BUILD_DIR/results/"

{
  echo
  echo "velmond host cost ($(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg))"
  printf '%8s %9s %12s %13s %8s %12s %13s\n' members varbinds "answers (ms)" "complete (ms)" threads "VmRSS (KiB)" \
    "VmSize (KiB)"
  paste -d, <(tail -n +2 "$csv") <(tail -n +2 "$detail") |
    awk -F, '{ printf "%8s %9s %12s %13s %8s %12s %13s\n", $1, $8, $6, $7, $3, $2, $4 }'
  paste -d, <(tail -n +2 "$csv") <(tail -n +2 "$detail") | awk -F, '$9 > 0 {
    printf "after %s more walks of %s members: %s threads (%+d), VmRSS %s KiB (%+d), VmSize %s KiB (%+d)\n",
      $9, $1, $11, $11 - $3, $10, $10 - $2, $12, $12 - $4 }'
  echo "answers: from velmond's start to its first answer; complete: to the first complete walk"
  echo "results: $BUILD_DIR/results/host-cost.csv, host-cost-detail.csv"
}
