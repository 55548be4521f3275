#!/usr/bin/env bash
# contrib/prometheus: snmp.yml is what prometheus-snmp-generator makes of
# generator.yml; Debian's prometheus-snmp-exporter with it scrapes velmond
# in the two-member Oracle world with the members' names as labels, and a
# member renamed live shows under its new name in the next scrapes.
# usage: prometheus_test.sh VELMOND SOURCE_DIR
source "$(dirname "$0")/common.sh"
velmond=$1
contrib=$2/contrib/prometheus

cp "$contrib/generator.yml" "$WORK/"
(cd "$WORK" && MIBDIRS="$2/mibs" prometheus-snmp-generator --fail-on-parse-errors generate >"$WORK/gen.log" 2>&1) ||
  fail "generator: $(cat "$WORK/gen.log")"
diff -u "$contrib/snmp.yml" "$WORK/snmp.yml" || fail "snmp.yml is not what generator.yml gives; regenerate it"

cp "$2/examples/worlds/oracle-rac-2.toml" "$WORK/world.toml"
start_velmond "$velmond" --world "$WORK/world.toml"

# The exporter on a free loopback port: one that is taken makes it exit.
exporter_port=""
for _ in 1 2 3 4 5 6 7 8; do
  port=$((20000 + RANDOM % 40000))
  prometheus-snmp-exporter --config.file="$contrib/snmp.yml" --web.listen-address="127.0.0.1:$port" \
    >"$WORK/exporter.log" 2>&1 &
  EXTRA_PIDS=$!
  up() { curl -sf "http://127.0.0.1:$port/metrics" >/dev/null || ! kill -0 "$EXTRA_PIDS" 2>/dev/null; }
  wait_for 10 up || true
  if kill -0 "$EXTRA_PIDS" 2>/dev/null && curl -sf "http://127.0.0.1:$port/metrics" >/dev/null; then
    exporter_port=$port
    break
  fi
done
[ -n "$exporter_port" ] || fail "the exporter did not start: $(cat "$WORK/exporter.log")"

scrape() { curl -sf "http://127.0.0.1:$exporter_port/snmp?target=127.0.0.1:$VELMOND_PORT&module=velmon"; }
metrics=$(scrape) || fail "scrape failed"
for series in 'velRacNodeState{velRacNodeName="racnode1",velRacNodeNumber="1"} 4' \
              'velRacNodeState{velRacNodeName="racnode2",velRacNodeNumber="2"} 8' \
              'velRacNodeAddress{velRacNodeAddress="192.0.2.12",velRacNodeAddressNumber="2",velRacNodeAddressSubIndex="1",velRacNodeName="racnode2"} 1' \
              'velRacSoftwareType 23299'; do
  grep -qxF "$series" <<<"$metrics" || fail "scrape lacks $series"$'\n'"$metrics"
done

rename_member "$WORK/world.toml"
renamed() { scrape | grep -q 'velRacNodeState{velRacNodeName="racnode3",velRacNodeNumber="3"}'; }
wait_for 10 renamed || fail "no series for the renamed member"$'\n'"$(scrape)"
stop_velmond
echo PASS
