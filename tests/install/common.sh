# Shared by the install, package and monitoring tests: starting velmond on a
# free loopback port, waiting, editing a world, failing with the logs shown.
# Source it; it sets `set -euo pipefail` and a scratch folder $WORK removed on exit.
set -euo pipefail
WORK=$(mktemp -d)
VELMOND_PID=""
cleanup() {
  if [ -n "$VELMOND_PID" ]; then kill "$VELMOND_PID" 2>/dev/null || true; fi
  for pid in ${EXTRA_PIDS:-}; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$WORK/velmond.log" ]; then echo "--- velmond log" >&2; cat "$WORK/velmond.log" >&2; fi
  exit 1
}

# wait_for SECONDS COMMAND...: true once COMMAND succeeds, polling every 0.1 s.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# start_velmond BINARY ARGS...: starts it on a free loopback port; sets
# VELMOND_PID and VELMOND_PORT.
start_velmond() {
  local binary=$1; shift
  "$binary" --listen udp:127.0.0.1:0 "$@" >"$WORK/velmond.log" 2>&1 &
  VELMOND_PID=$!
  listening() { grep -q "listening on udp:127.0.0.1:" "$WORK/velmond.log" || ! kill -0 "$VELMOND_PID"; }
  wait_for 10 listening || fail "velmond did not start"
  VELMOND_PORT=$(sed -n 's/.*listening on udp:127\.0\.0\.1:\([0-9]*\).*/\1/p' "$WORK/velmond.log")
  [ -n "$VELMOND_PORT" ] || fail "velmond did not start"
}

stop_velmond() {
  kill -TERM "$VELMOND_PID"
  local status=0
  wait "$VELMOND_PID" || status=$?
  VELMOND_PID=""
  [ "$status" -eq 0 ] || fail "velmond stopped with status $status"
}

# rename_member WORLD: racnode2 becomes racnode3 (with a new address) in a
# copy of the two-member Oracle world, as an editor saving it would.
rename_member() {
  sed -e 's/racnode2/racnode3/g' -e 's/192\.0\.2\.12/192.0.2.13/' "$1" >"$1.new"
  mv "$1.new" "$1"
}
