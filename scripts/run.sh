#!/usr/bin/env bash
# Builds the default preset and starts velmond, the SNMP host daemon, on
# udp:127.0.0.1:1161 with the embedded two-member Oracle RAC world. Extra
# arguments go to velmond (for example --world examples/worlds/oracle-rac-256.toml).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target velmond velmon
exec build/default/host/velmond "$@"
