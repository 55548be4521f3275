#!/usr/bin/env bash
# The Debian package of the default build: lintian finds no error in it;
# `apt-get install ./velmon_*.deb` gives a /usr/bin/velmond that serves its
# installed example world; both systemd units verify; removing the package
# leaves none of its files behind. Installs into this machine, so it runs
# only as root (CI) and skips itself otherwise.
# usage: package_test.sh BUILD_DIR
source "$(dirname "$0")/common.sh"
build=$1
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: needs root to install the package"; exit 77; fi
if dpkg -s velmon >/dev/null 2>&1; then fail "velmon is installed already; remove it first"; fi

rm -f "$build"/velmon_*.deb
(cd "$build" && cpack -G DEB >"$WORK/cpack.log" 2>&1) || fail "cpack: $(cat "$WORK/cpack.log")"
deb=$(ls "$build"/velmon_*_*.deb)
lintian --allow-root "$deb" >"$WORK/lintian.log" 2>&1 || true
if grep -q '^E:' "$WORK/lintian.log"; then fail "lintian: $(cat "$WORK/lintian.log")"; fi

export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "$deb" >"$WORK/apt.log" 2>&1 || fail "install: $(cat "$WORK/apt.log")"
remove() { apt-get purge -y velmon >>"$WORK/apt.log" 2>&1; }
trap 'remove || true; cleanup' EXIT
dpkg -L velmon >"$WORK/files"

start_velmond /usr/bin/velmond --world /usr/share/velmon/worlds/oracle-rac-2.toml
out=$(snmpwalk -v2c -c public -M +/usr/share/velmon/mibs -m VELMORA-RAC-MIB "127.0.0.1:$VELMOND_PORT" velRacNodeState)
grep -qxF 'VELMORA-RAC-MIB::velRacNodeState.2 = INTEGER: 8' <<<"$out" || fail "walk: $out"
stop_velmond

units=$(dirname "$(grep '/velmond.service$' "$WORK/files")")
cp "$units/velmond@.service" "$WORK/velmond@racnode2.service"
for unit in "$units/velmond.service" "$WORK/velmond@racnode2.service"; do
  # The units' own findings only: the machine's other units are not ours.
  systemd-analyze verify --man=no "$unit" >"$WORK/verify.log" 2>&1 || fail "verify $unit: $(cat "$WORK/verify.log")"
  if grep -q "velmond" "$WORK/verify.log"; then fail "verify $unit: $(cat "$WORK/verify.log")"; fi
done

remove || fail "purge: $(cat "$WORK/apt.log")"
left=$(while read -r path; do if [ -f "$path" ] || [ -L "$path" ]; then echo "$path"; fi; done <"$WORK/files")
[ -z "$left" ] || fail "left after removal: $left"
dpkg -s velmon >/dev/null 2>&1 && fail "still registered with dpkg"
echo PASS
