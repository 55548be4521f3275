#!/usr/bin/env bash
# Builds the Windows x86_64 preset (mingw-w64) and runs its test programs
# under Wine: a fresh WINEPREFIX under the build directory, one persistent
# wineserver for the whole suite (stopped at the end, also on failure), and
# WINEDEBUG=-all. Needs mingw-w64 and wine64 (scripts/install-deps.sh).
#
# Usage: scripts/test-windows.sh [extra ctest arguments, e.g. -R Smoke]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
build=build/windows

wine_bin=""
for dir in /usr/lib/wine /usr/lib64/wine /usr/bin; do
  if [ -x "$dir/wine64" ] && [ -x "$dir/wineserver" ]; then wine_bin=$dir; break; fi
done
[ -n "$wine_bin" ] || { echo "wine64 and wineserver not found" >&2; exit 2; }

cmake --preset windows -DVELMON_WERROR=ON
cmake --build --preset windows -j "$jobs"

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"$wine_bin/wineserver" -p
trap '"$wine_bin/wineserver" -k 2>/dev/null || true' EXIT
"$wine_bin/wine64" wineboot --init
# Restart the server once the new prefix is made: its first boot can leave
# two service managers running side by side, each with its own service list,
# so that a service created through one is missing in the other (the
# installer package test creates and controls a service).
"$wine_bin/wineserver" -k
"$wine_bin/wineserver" -w
"$wine_bin/wineserver" -p
"$wine_bin/wine64" wineboot

ctest --preset windows -j "$jobs" "$@"
