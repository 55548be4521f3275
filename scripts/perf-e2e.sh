#!/usr/bin/env bash
# End-to-end speed of velmond against net-snmp's own snmpd, in one run on
# this machine:
#   - varbinds per second of a complete walk with snmpbulkwalk and snmpwalk
#     (v2c), through velmond serving an Oracle RAC world of MEMBERS members
#     and through an snmpd serving a subtree with the same number of varbinds;
#   - the same walks from inside one process (velmon-snmp-probe), which
#     leaves out the tools' process start-up, as a cross-check;
#   - the latency of single Gets (median, 99th percentile) of a scalar and of
#     a table cell, against both agents, from velmon-snmp-probe.
# Prints a summary with the velmond/snmpd ratios and writes
# $BUILD_DIR/results/e2e.csv.
#
# With VELMOND_BEFORE naming another velmond binary (say, one built from an
# earlier commit, copied next to a libvelmon.so), that one serves the same
# world too and takes its turn in the tool walks between velmond and snmpd,
# and an in-process GetBulk run pits velmond against it walk by walk: a
# change's before and after, side by side in one run.
#
#   scripts/perf-e2e.sh                       # builds with the bench preset
#   BUILD_DIR=build/mine scripts/perf-e2e.sh  # another Release build dir
#
# Environment (defaults in brackets): BUILD_DIR [build/bench], SKIP_BUILD
# [0], MEMBERS [256], WALKS per tool and agent [30], PROBE_WALKS [20], GETS
# per object and agent [3000], REPETITIONS, the GetBulk max-repetitions of
# every bulk walk [10, net-snmp's default], VELMOND_PORT [11661], SNMPD_PORT
# [11662], VELMOND_BEFORE [none], BEFORE_PORT [11663]. Only 127.0.0.1 is
# used.
#
# What snmpd serves: one `override` directive per varbind of velmond's own
# walk, under a private subtree of the same depth (...32473.9.18.22.4.1 for
# velmond's ...32473.2.18.22.4.1), with the same types and values; IpAddress,
# which `override` cannot make, becomes a 4-byte octet string, equal in size
# on the wire. `override` registers each object in snmpd's own registry and
# answers from memory inside snmpd, like velmond answers from its agent;
# `pass` and `extend` would fork a program per request and measure that
# instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$root/build/bench}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$root/$BUILD_DIR ;; esac
SKIP_BUILD=${SKIP_BUILD:-0}
MEMBERS=${MEMBERS:-256}
WALKS=${WALKS:-30}
PROBE_WALKS=${PROBE_WALKS:-20}
GETS=${GETS:-3000}
REPETITIONS=${REPETITIONS:-10}
VELMOND_PORT=${VELMOND_PORT:-11661}
SNMPD_PORT=${SNMPD_PORT:-11662}
VELMOND_BEFORE=${VELMOND_BEFORE:-}
BEFORE_PORT=${BEFORE_PORT:-11663}

velmond_root=.1.3.6.1.4.1.32473.2.18.22.4.1
snmpd_root=.1.3.6.1.4.1.32473.9.18.22.4.1
# velRacVendorName.0 (answered through the cluster-software dispatch) and
# velRacNodeName of the middle row of the node table.
scalar_suffix=.1.2.1.0
cell_suffix=.1.2.11.1.2.$(((MEMBERS + 1) / 2))
client_options=(-v2c -c public -On -m '' -t 5 -r 0)

started=$EPOCHREALTIME
log() { printf '[%5.1fs] %s\n' "$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }')" "$*" >&2; }
die() { log "perf-e2e: $*"; exit 1; }

# --- build --------------------------------------------------------------------
# shellcheck source=scripts/perf-build.sh
. "$root/scripts/perf-build.sh"
perf_tools "$root" "$BUILD_DIR" "$SKIP_BUILD"  # sets velmond and probe
command -v snmpd >/dev/null || die "snmpd is not installed"
snmpd_bin=$(command -v snmpd)

# --- processes and clean-up ----------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/perf-e2e.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in {1..30}; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Varbinds in the output of a walk on standard input: every "name = value"
# line except the tools' note that the walk ran into the end of the MIB view.
count_varbinds() { grep ' = ' | grep -vc 'No more variables left in this MIB View' || true; }

# Number of varbinds a bulk walk of $2 on 127.0.0.1:$1 returns (0 on failure).
# A short timeout: the first polls go out before the agent listens.
walk_count() {
  { snmpbulkwalk "${client_options[@]}" -t 1 -Cr"$REPETITIONS" "127.0.0.1:$1" "$2" 2>/dev/null || true; } |
    count_varbinds
}

# Waits until the walk of the agent on port $1 under $2 is complete: its
# count reaches $3, or (when $3 is 0) stays the same over five polls.
wait_complete() {
  local port=$1 oid=$2 expected=$3 last=-1 same=0 count
  for _ in {1..300}; do
    count=$(walk_count "$port" "$oid")
    if [ "$count" -gt 0 ] && [ "$count" = "$expected" ]; then echo "$count"; return 0; fi
    if [ "$count" -gt 0 ] && [ "$count" = "$last" ]; then same=$((same + 1)); else same=0; fi
    if [ "$expected" = 0 ] && [ "$same" -ge 5 ]; then echo "$count"; return 0; fi
    last=$count
    sleep 0.2
  done
  return 1
}

# --- velmond ---------------------------------------------------------------------
# The checked-in example when there is one (the generator is slow for 256).
world=$root/examples/worlds/oracle-rac-$MEMBERS.toml
if [ ! -f "$world" ]; then
  world=$work/world.toml
  "$root/scripts/velmond-make-rac-world.sh" "$MEMBERS" >"$world"
fi
"$velmond" --world "$world" --listen "udp:127.0.0.1:$VELMOND_PORT" >"$work/velmond.log" 2>&1 &
velmond_pid=$!
pids+=("$velmond_pid")
# Every member gives a node row (four columns) and a node-address row (two),
# beside twelve scalar and cluster-address varbinds.
expected=$((6 * MEMBERS + 12))
log "perf-e2e: waiting for velmond's MIB ($MEMBERS members)"
if ! varbinds=$(wait_complete "$VELMOND_PORT" "$velmond_root" 0); then
  tail -20 "$work/velmond.log" >&2
  die "velmond did not answer a complete walk"
fi
[ "$varbinds" = "$expected" ] || log "perf-e2e: note: velmond walks $varbinds varbinds, $expected expected"
agents=(velmond snmpd)
if [ -n "$VELMOND_BEFORE" ]; then
  [ -x "$VELMOND_BEFORE" ] || die "VELMOND_BEFORE: no program $VELMOND_BEFORE"
  "$VELMOND_BEFORE" --world "$world" --listen "udp:127.0.0.1:$BEFORE_PORT" >"$work/before.log" 2>&1 &
  before_pid=$!
  pids+=("$before_pid")
  agents+=(before)
  log "perf-e2e: waiting for the velmond before the change ($VELMOND_BEFORE)"
  if ! wait_complete "$BEFORE_PORT" "$velmond_root" "$varbinds" >/dev/null; then
    tail -20 "$work/before.log" >&2
    die "the velmond before the change did not answer the same walk"
  fi
fi

# --- snmpd: the same tree, from override directives --------------------------
snmpbulkwalk "${client_options[@]}" -Cr"$REPETITIONS" "127.0.0.1:$VELMOND_PORT" "$velmond_root" >"$work/velmond-walk.txt"
state_dir=$work/snmpd-state
mkdir -p "$state_dir"
{
  echo "agentaddress udp:127.0.0.1:$SNMPD_PORT"
  echo "rocommunity public 127.0.0.1"
  echo "dontLogTCPWrappersConnects yes"
  echo "[snmp] persistentDir $state_dir"
  awk -v from="$velmond_root" -v to="$snmpd_root" '
    /No more variables left in this MIB View/ { next }
    / = / {
      name = $1
      if (index(name, from ".") != 1) next
      name = to substr(name, length(from) + 1)
      value = substr($0, index($0, " = ") + 3)
      if (value == "\"\"") { print "override " name " octet_str \"\""; next }
      split(value, parts, ": ")
      type = parts[1]; rest = substr(value, length(type) + 3)
      if (type == "INTEGER") print "override " name " integer " rest
      else if (type == "STRING") print "override " name " octet_str " rest
      else if (type == "OID") print "override " name " object_id " rest
      else if (type == "IpAddress") {
        split(rest, a, ".")
        printf "override %s octet_str 0x%02X%02X%02X%02X\n", name, a[1], a[2], a[3], a[4]
      } else { print "unhandled type " type > "/dev/stderr"; exit 1 }
    }' "$work/velmond-walk.txt"
} >"$work/snmpd.conf"
MIBS='' SNMP_PERSISTENT_DIR=$state_dir "$snmpd_bin" -f -C -c "$work/snmpd.conf" -LF 0-5 "$work/snmpd.log" \
  >/dev/null 2>&1 &
snmpd_pid=$!
pids+=("$snmpd_pid")
log "perf-e2e: waiting for snmpd"
if ! snmpd_varbinds=$(wait_complete "$SNMPD_PORT" "$snmpd_root" "$varbinds"); then
  tail -20 "$work/snmpd.log" >&2
  die "snmpd did not serve the $varbinds varbinds"
fi

# --- measurements ------------------------------------------------------------
# "median p99 mean count" of the numbers in file $1 (nearest-rank).
stats() {
  sort -g "$1" | awk '{ v[NR] = $1; sum += $1 }
    function rank(p,  i) { i = int(p / 100 * NR); if (i < p / 100 * NR) i++; return v[i < 1 ? 1 : i] }
    END { printf "%s %s %.1f %d\n", rank(50), rank(99), sum / NR, NR }'
}

# Appends the CSV row of measure $1 for each agent that has samples of it, in
# unit $2.
record() {
  local agent median p99 mean count
  for agent in "${agents[@]}"; do
    [ -s "$work/$1-$agent.samples" ] || continue
    read -r median p99 mean count < <(stats "$work/$1-$agent.samples")
    echo "$1,$agent,$median,$p99,$mean,$count,$2" >>"$results"
  done
}

now_us() { echo "${EPOCHREALTIME/./}"; }

results=$work/results.csv
echo "measure,agent,median,p99,mean,samples,unit" >"$results"

# CPU time of process $1 in nanoseconds: the sum over its threads of the
# scheduler's run time (finer than the clock ticks of /proc/PID/stat).
cpu_ns() { cat "/proc/$1/task/"*/schedstat | awk '{ t += $1 } END { printf "%.0f\n", t }'; }

# One timed walk with tool $1 (snmpwalk or snmpbulkwalk) of agent $2;
# appends its varbinds per second to $work/walk_$1-$2.samples and the
# agent's CPU time over the walk, in nanoseconds per varbind, to
# $work/cpu_walk_$1-$2.samples (less sensitive to the rest of the machine
# than the wall-clock rate, which holds the tool's own start-up).
timed_walk() {
  local tool=$1 agent=$2 port root pid start end count cpu_start
  case $agent in
    velmond) port=$VELMOND_PORT root=$velmond_root pid=$velmond_pid ;;
    before) port=$BEFORE_PORT root=$velmond_root pid=$before_pid ;;
    *) port=$SNMPD_PORT root=$snmpd_root pid=$snmpd_pid ;;
  esac
  cpu_start=$(cpu_ns "$pid")
  local options=("${client_options[@]}")
  [ "$tool" = snmpbulkwalk ] && options+=(-Cr"$REPETITIONS")
  start=$(now_us)
  "$tool" "${options[@]}" "127.0.0.1:$port" "$root" >"$work/walk.out"
  end=$(now_us)
  count=$(count_varbinds <"$work/walk.out")
  [ "$count" = "$varbinds" ] || die "$tool of $agent returned $count varbinds, not $varbinds"
  awk -v n="$count" -v us=$((end - start)) 'BEGIN { printf "%.0f\n", n / (us / 1e6) }' >>"$work/walk_$tool-$agent.samples"
  awk -v n="$count" -v ns=$(($(cpu_ns "$pid") - cpu_start)) 'BEGIN { printf "%.0f\n", ns / n }' \
    >>"$work/cpu_walk_$tool-$agent.samples"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for tool in snmpbulkwalk snmpwalk; do
  log "perf-e2e: $WALKS walks of $varbinds varbinds with $tool against each agent"
  # Alternating the agents spreads other load on the machine over both.
  for ((i = 0; i < WALKS; i++)); do
    timed_walk "$tool" velmond
    [ -n "$VELMOND_BEFORE" ] && timed_walk "$tool" before
    timed_walk "$tool" snmpd
  done
  record "walk_$tool" varbinds/s
  record "cpu_walk_$tool" ns/varbind
done


# The probe sends to both agents in turns, request by request (walk by
# walk), so that other load on the machine weighs on both alike; it adds its
# samples (a Get's microseconds, a walk's varbinds per second) to one file
# per measure and agent. The agents' own CPU time over the run is kept too:
# it depends less on the rest of the machine than wall-clock time does
# (velmond's idle threads add about 0.5% of a core to it).
#   paired_probe MEASURE COUNT get|walk OID-SUFFIX [probe options]
paired_probe() {
  local measure=$1 count=$2 mode=$3 suffix=$4 velmond_before snmpd_before
  shift 4
  velmond_before=$(cpu_ns "$velmond_pid")
  snmpd_before=$(cpu_ns "$snmpd_pid")
  "$probe" "$mode" "127.0.0.1:$VELMOND_PORT" "$velmond_root$suffix" \
    --versus "127.0.0.1:$SNMPD_PORT" "$snmpd_root$suffix" --count "$count" --warmup 0 \
    --samples "$work/$measure-velmond.samples" --versus-samples "$work/$measure-snmpd.samples" "$@" >"$work/probe.out"
  echo $(($(cpu_ns "$velmond_pid") - velmond_before)) >"$work/$measure-velmond.cpu"
  echo $(($(cpu_ns "$snmpd_pid") - snmpd_before)) >"$work/$measure-snmpd.cpu"
  if [ "$mode" = walk ] && [ "$(grep -c " varbinds=$varbinds varbinds_max=$varbinds " "$work/probe.out")" != 2 ]; then
    die "probe $measure: $(cat "$work/probe.out")"
  fi
}

# Appends the rows of the agents' CPU time per unit of work (varbind or
# request) of measure $1, which did $2 units per agent.
record_cpu() {
  local agent per_unit
  for agent in velmond snmpd; do
    per_unit=$(awk -v n="$2" '{ t += $1 } END { printf "%.2f", t / 1000 / n }' "$work/$1-$agent.cpu")
    echo "cpu_$1,$agent,$per_unit,,,$2,$3" >>"$results"
  done
}

# One untimed walk and a few Gets first, so that neither agent pays for a
# first touch inside the timed runs.
for agent_port in "$VELMOND_PORT $velmond_root" "$SNMPD_PORT $snmpd_root"; do
  read -r port root <<<"$agent_port"
  "$probe" walk "127.0.0.1:$port" "$root" --count 1 --warmup 0 >/dev/null
  "$probe" get "127.0.0.1:$port" "$root$cell_suffix" --count 1 --warmup 50 >/dev/null
done

log "perf-e2e: $PROBE_WALKS in-process GetBulk walks of each agent, in turns"
paired_probe probe_walk_getbulk "$PROBE_WALKS" walk "" --repetitions "$REPETITIONS"
record probe_walk_getbulk varbinds/s
record_cpu probe_walk_getbulk $((PROBE_WALKS * varbinds)) us/varbind
if [ -n "$VELMOND_BEFORE" ]; then
  log "perf-e2e: $PROBE_WALKS in-process GetBulk walks of velmond and the velmond before the change, in turns"
  "$probe" walk "127.0.0.1:$VELMOND_PORT" "$velmond_root" --versus "127.0.0.1:$BEFORE_PORT" "$velmond_root" \
    --count "$PROBE_WALKS" --warmup 0 --repetitions "$REPETITIONS" \
    --samples "$work/probe_getbulk_change-velmond.samples" \
    --versus-samples "$work/probe_getbulk_change-before.samples" >"$work/probe.out" || die "probe: $(cat "$work/probe.out")"
  record probe_getbulk_change varbinds/s
fi
log "perf-e2e: $PROBE_WALKS in-process GetNext walks of each agent, in turns"
paired_probe probe_walk_getnext "$PROBE_WALKS" walk "" --repetitions 0
record probe_walk_getnext varbinds/s
record_cpu probe_walk_getnext $((PROBE_WALKS * varbinds)) us/varbind

log "perf-e2e: $GETS Gets of the scalar (...$scalar_suffix) of each agent, in turns"
paired_probe get_scalar "$GETS" get "$scalar_suffix"
record get_scalar us
record_cpu get_scalar "$GETS" us/request
log "perf-e2e: $GETS Gets of the table cell (...$cell_suffix) of each agent, in turns"
paired_probe get_cell "$GETS" get "$cell_suffix"
record get_cell us
record_cpu get_cell "$GETS" us/request
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report ---------------------------------------------------------------------
value() { awk -F, -v m="$1" -v a="$2" -v c="$3" '$1 == m && $2 == a { print $c }' "$results"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }

# Median of the ratios of the samples taken in turns: line i of $1 over
# line i of $2 (the two were measured one right after the other).
paired_ratio() {
  paste -d' ' "$1" "$2" | awk '$2 > 0 { printf "%.4f\n", $1 / $2 }' | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.3f", (NR ? v[int((NR + 1) / 2)] : 0) }'
}

# The spread of those ratios: "first quartile-third quartile".
paired_spread() {
  paste -d' ' "$1" "$2" | awk '$2 > 0 { printf "%.4f\n", $1 / $2 }' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR) printf "%.3f-%.3f", v[int((NR + 3) / 4)], v[int((3 * NR + 3) / 4)] }'
}

# Every ratio reads "above 1: velmond does better": velmond/snmpd for
# throughput, snmpd/velmond for latency and CPU time. ratio_ compares the
# medians, paired_ratio_ is the median of the ratios of the samples taken in
# turns (less sensitive to load that came and went during the run).
{
  for measure in walk_snmpbulkwalk walk_snmpwalk probe_walk_getbulk probe_walk_getnext; do
    echo "ratio_$measure,velmond/snmpd,$(ratio "$(value "$measure" velmond 3)" "$(value "$measure" snmpd 3)"),,,,ratio"
    echo "paired_ratio_$measure,velmond/snmpd,$(paired_ratio "$work/$measure-velmond.samples" \
      "$work/$measure-snmpd.samples"),,,,ratio"
  done
  for measure in get_scalar get_cell; do
    echo "ratio_$measure,snmpd/velmond,$(ratio "$(value "$measure" snmpd 3)" "$(value "$measure" velmond 3)"),,,,ratio"
    echo "paired_ratio_$measure,snmpd/velmond,$(paired_ratio "$work/$measure-snmpd.samples" \
      "$work/$measure-velmond.samples"),,,,ratio"
  done
  for measure in cpu_probe_walk_getbulk cpu_probe_walk_getnext cpu_get_scalar cpu_get_cell; do
    echo "ratio_$measure,snmpd/velmond,$(ratio "$(value "$measure" snmpd 3)" "$(value "$measure" velmond 3)"),,,,ratio"
  done
  for measure in cpu_walk_snmpbulkwalk cpu_walk_snmpwalk; do
    echo "ratio_$measure,snmpd/velmond,$(ratio "$(value "$measure" snmpd 3)" "$(value "$measure" velmond 3)"),,,,ratio"
    echo "paired_ratio_$measure,snmpd/velmond,$(paired_ratio "$work/$measure-snmpd.samples" \
      "$work/$measure-velmond.samples"),,,,ratio"
  done
  # The change: each pair of agents' paired ratio, with its quartiles.
  if [ -n "$VELMOND_BEFORE" ]; then
    for measure in walk_snmpbulkwalk walk_snmpwalk probe_getbulk_change cpu_walk_snmpbulkwalk cpu_walk_snmpwalk; do
      pairs=(velmond/snmpd before/snmpd velmond/before)
      [[ $measure = cpu_* ]] && pairs=(snmpd/velmond snmpd/before before/velmond)
      for pair in "${pairs[@]}"; do
        a=$work/$measure-${pair%/*}.samples b=$work/$measure-${pair#*/}.samples
        if [ -s "$a" ] && [ -s "$b" ]; then
          echo "change_$measure,$pair,$(paired_ratio "$a" "$b"),$(paired_spread "$a" "$b"),,,ratio (quartiles)"
        fi
      done
    done
  fi
} >>"$results"

mkdir -p "$BUILD_DIR/results"
cp "$results" "$BUILD_DIR/results/e2e.csv"

row() { printf '%-38s %11s %11s %9s %9s\n' "$@"; }
{
  echo
  echo "velmond against snmpd: $MEMBERS-member Oracle RAC world, $varbinds varbinds per walk ($snmpd_varbinds from snmpd)"
  echo "machine: $(nproc) cores; load average $load_before before, $load_after after"
  echo "ratios: above 1 means velmond does better (velmond/snmpd for rates, snmpd/velmond for times);"
  echo "paired: median of the ratios of the samples taken in turns"
  echo
  row "walk: median varbinds/s (walks)" velmond snmpd ratio paired
  for measure in walk_snmpbulkwalk walk_snmpwalk probe_walk_getbulk probe_walk_getnext; do
    case $measure in
      walk_snmpbulkwalk) label="snmpbulkwalk -Cr$REPETITIONS" ;;
      walk_snmpwalk) label="snmpwalk" ;;
      probe_walk_getbulk) label="in-process GetBulk r=$REPETITIONS" ;;
      probe_walk_getnext) label="in-process GetNext" ;;
    esac
    row "$label ($(value "$measure" velmond 6))" "$(value "$measure" velmond 3)" "$(value "$measure" snmpd 3)" \
      "$(value "ratio_$measure" velmond/snmpd 3)" "$(value "paired_ratio_$measure" velmond/snmpd 3)"
  done
  echo
  row "Get latency, us (requests)" velmond snmpd ratio paired
  for object in scalar cell; do
    suffix=$scalar_suffix
    [ "$object" = cell ] && suffix=$cell_suffix
    row "$object $suffix median ($(value "get_$object" velmond 6))" "$(value "get_$object" velmond 3)" \
      "$(value "get_$object" snmpd 3)" "$(value "ratio_get_$object" snmpd/velmond 3)" \
      "$(value "paired_ratio_get_$object" snmpd/velmond 3)"
    row "$object $suffix p99" "$(value "get_$object" velmond 4)" "$(value "get_$object" snmpd 4)" "" ""
    row "$object $suffix mean" "$(value "get_$object" velmond 5)" "$(value "get_$object" snmpd 5)" "" ""
  done
  echo
  row "agent CPU time, us per unit" velmond snmpd ratio ""
  for measure in probe_walk_getbulk probe_walk_getnext get_scalar get_cell; do
    row "$measure ($(value "cpu_$measure" velmond 7))" "$(value "cpu_$measure" velmond 3)" \
      "$(value "cpu_$measure" snmpd 3)" "$(value "ratio_cpu_$measure" snmpd/velmond 3)" ""
  done
  for measure in walk_snmpbulkwalk walk_snmpwalk; do
    row "$measure (ns/varbind, median)" "$(value "cpu_$measure" velmond 3)" "$(value "cpu_$measure" snmpd 3)" \
      "$(value "ratio_cpu_$measure" snmpd/velmond 3)" "$(value "paired_ratio_cpu_$measure" snmpd/velmond 3)"
  done
  if [ -n "$VELMOND_BEFORE" ]; then
    echo
    echo "the change: velmond against the velmond before it ($VELMOND_BEFORE), in the same turns"
    echo "(rates: velmond/snmpd, before/snmpd, velmond/before; CPU time the other way round)"
    printf '%-38s %-21s %-21s %-21s\n' "paired ratio (quartiles)" velmond-snmpd before-snmpd velmond-before
    for measure in walk_snmpbulkwalk walk_snmpwalk probe_getbulk_change cpu_walk_snmpbulkwalk cpu_walk_snmpwalk; do
      pairs=(velmond/snmpd before/snmpd velmond/before)
      [[ $measure = cpu_* ]] && pairs=(snmpd/velmond snmpd/before before/velmond)
      cells=()
      for pair in "${pairs[@]}"; do
        median=$(value "change_$measure" "$pair" 3)
        cells+=("${median:+$median ($(value "change_$measure" "$pair" 4))}")
      done
      printf '%-38s %-21s %-21s %-21s\n' "$measure" "${cells[@]}"
    done
  fi
  echo
  echo "results: $BUILD_DIR/results/e2e.csv"
}
