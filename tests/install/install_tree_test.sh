#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR gives a velmond that runs on its
# own: the installed agent, an installed example world, and symbolic names
# from the installed MIB folders alone; it survives SIGHUP and keeps serving.
# usage: install_tree_test.sh BUILD_DIR
source "$(dirname "$0")/common.sh"
build=$1
root=$WORK/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr

for file in "$usr"/lib/velmon/*; do
  if readelf -d "$file" | grep -q "$build"; then fail "$file still points into the build tree"; fi
done
cp "$usr/share/velmon/worlds/oracle-rac-2.toml" "$WORK/world.toml"
start_velmond "$usr/bin/velmond" --world "$WORK/world.toml"
grep -q "agent $usr/lib/velmon/libvelmon.so serves" "$WORK/velmond.log" || fail "not the installed agent"

walk() {
  snmpwalk -v2c -c public -M "$usr/share/snmp/mibs:$usr/share/velmon/mibs" -m VELMORA-RAC-MIB \
    "127.0.0.1:$VELMOND_PORT" velmoraClusterAgent
}
out=$(walk)
for line in 'VELMORA-RAC-MIB::velRacVendorName.0 = STRING: Oracle RAC Cluster' \
            'VELMORA-RAC-MIB::velRacNodeName.2 = STRING: racnode2' \
            'VELMORA-RAC-MIB::velRacNodeState.2 = INTEGER: 8'; do
  grep -qxF "$line" <<<"$out" || fail "walk lacks: $line"$'\n'"$out"
done

# SIGHUP reads the world again; without a handler it would end the process.
rename_member "$WORK/world.toml"
kill -HUP "$VELMOND_PID"
wait_for 5 grep -q "changed:" "$WORK/velmond.log" || fail "no reload after SIGHUP"
grep -q "SIGHUP: reading the world file again" "$WORK/velmond.log" || fail "SIGHUP not taken"
wait_for 5 bash -c "snmpwalk -v2c -c public -M '$usr/share/snmp/mibs:$usr/share/velmon/mibs' -m VELMORA-RAC-MIB \
  127.0.0.1:$VELMOND_PORT velRacNodeName | grep -q racnode3" || fail "renamed member not served"
stop_velmond
echo PASS
