#!/usr/bin/env bash
# The check_snmp commands of contrib/nagios/velmon.cfg, run as Nagios would
# run them against velmond, give OK, WARNING and CRITICAL as the world is
# edited live: a member's cluster manager stopped, starting, running; the
# cluster gaining a node row.
# usage: check_snmp_test.sh VELMOND SOURCE_DIR
source "$(dirname "$0")/common.sh"
velmond=$1
config=$2/contrib/nagios/velmon.cfg

# run_check NAME ARG2: the command line of NAME with Nagios's macros filled in;
# prints its status and output.
run_check() {
  local line
  line=$(sed -n "/command_name *$1\$/{n;s/^ *command_line *//p}" "$config")
  [ -n "$line" ] || fail "no command $1 in $config"
  line=${line//'$USER1$'/\/usr\/lib\/nagios\/plugins}
  line=${line//'$HOSTADDRESS$'/127.0.0.1}
  line=${line//'$ARG1$'/$VELMOND_PORT}
  line=${line//'$ARG2$'/$2}
  local status=0 out
  out=$(eval "$line") || status=$?
  echo "$status $out"
}
# expect STATUS NAME ARG2: waits a few seconds for the check to give STATUS.
expect() {
  local want=$1 name=$2 arg=$3 got=""
  settled() { got=$(run_check "$name" "$arg"); [ "${got%% *}" = "$want" ]; }
  wait_for 10 settled || fail "$name $arg: expected status $want, got: $got"
}

cp "$2/examples/worlds/oracle-rac-2.toml" "$WORK/world.toml"
start_velmond "$velmond" --world "$WORK/world.toml"
expect 0 check_velmon_service ""
expect 0 check_velmon_node_state 1
expect 2 check_velmon_node_state 2       # racnode2's cluster manager is stopped
expect 0 check_velmon_nodes 2
expect 3 check_velmon_nodes 3

set_racnode2_state() {
  sed -i "/\[machine.racnode2.services.OracleCMService9i\]/,/^state/s/^state = .*/state = \"$1\"/" "$WORK/world.toml"
}
set_racnode2_state start_pending
expect 1 check_velmon_node_state 2
set_racnode2_state running
expect 0 check_velmon_node_state 2

rename_member "$WORK/world.toml"        # the renamed member gets row 3
expect 0 check_velmon_nodes 3
stop_velmond
echo PASS
