#!/usr/bin/env bash
# Writes a world file of an Oracle RAC cluster with N members (default 256)
# to standard output: examples/worlds/oracle-rac-256.toml is made with it.
#
#   scripts/velmond-make-rac-world.sh 256 > examples/worlds/oracle-rac-256.toml
#
# Member i is rac<i> (three digits), public address 198.18.H.L and private
# name racp<i> at 198.19.H.L. rac001 is the local machine. The cluster
# manager runs on every member except: every eighth is stopped, and rac128 is
# still starting. Addresses are from the benchmarking range: the world is
# simulated and no traffic goes to them.
set -euo pipefail
count=${1:-256}
if ! [[ $count =~ ^[0-9]+$ ]] || [ "$count" -lt 1 ] || [ "$count" -gt 256 ]; then
  echo "usage: $0 [members, 1 to 256]" >&2
  exit 2
fi
password='{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}'
name() { printf 'rac%03d' "$1"; }
private() { printf 'racp%03d' "$1"; }
address() { printf '%s.%d.%d' "$1" $(($2 / 256)) $(($2 % 256)); }

publics=""
privates=""
for ((i = 1; i <= count; i++)); do
  publics+="${publics:+, }\"$(name "$i")\""
  privates+="${privates:+, }\"$(private "$i")\""
done

cat <<HEADER
# An Oracle RAC cluster of $count members, made by
# scripts/velmond-make-rac-world.sh $count (edit the script, not this file).
#
# rac001 is the local machine. The cluster manager service runs on every
# member except every eighth (stopped) and rac128 (still starting).

HEADER

for ((i = 1; i <= count; i++)); do
  n=$(name "$i")
  state=running
  if ((i % 8 == 0)); then state=stopped; fi
  if ((i == 128)); then state=start_pending; fi
  echo "[machine.$n]"
  if ((i == 1)); then echo "local = true"; fi
  echo "addresses = [\"$(address 198.18 "$i")\"]"
  echo
  if ((i == 1)); then
    echo "[machine.$n.registry.'HKLM\\SOFTWARE\\Oracle\\osd9i\\CM']"
    echo "PublicNodeNames = [$publics]"
    echo "PrivateNodeNames = [$privates]"
    echo "HostName = \"$n\""
    echo
    echo "[machine.$n.files]"
    echo "'C:\\WINNT\\System32\\drivers\\etc\\hosts' = \"\"\""
    echo "127.0.0.1       localhost"
    for ((j = 1; j <= count; j++)); do echo "$(address 198.19 "$j")    $(private "$j")"; done
    echo "\"\"\""
    echo "'C:\\oracle\\ora92\\bin\\oracm.exe' = { version = \"9.2.0.1.0\" }"
    echo
  fi
  echo "[machine.$n.services.OracleCMService9i]"
  echo "image_path = 'C:\\oracle\\ora92\\bin\\oracm.exe'"
  echo "start_type = \"auto\""
  echo "state = \"$state\""
  echo
  echo "[machine.$n.accounts.RACUSER]"
  echo "password = \"$password\""
  echo "groups = [\"Administrators\"]"
  echo
done
