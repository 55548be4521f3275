#!/usr/bin/env bash
# Runs velmond's soak for the given number of minutes (default 60) in the
# ASan+UBSan build: walks, bulk walks and gets of the 256-member Oracle world
# checked against its first walk, live membership edits of small Oracle, MSCS
# and Brennic worlds checked against the agents' rules, malformed datagrams
# at all four daemons, and their threads and memory sampled every second. Fails on any wrong
# answer, stall, sanitizer report or unexplained growth; prints the figures.
#
#   scripts/soak.sh [minutes] [extra velmond_soak options...]
#
# VELMOND_SOAK_TRACE=1 logs each edit and each walk that does not yet show it.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-60}
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "usage: $0 [minutes] [velmond_soak options...]" >&2
  exit 2
fi
shift || true
cmake --preset asan -DVELMON_WERROR=ON >/dev/null
cmake --build --preset asan -j "$(nproc)" --target velmond velmond_soak
exec build/asan/tests/host/velmond_soak --seconds $((minutes * 60)) "$@"
