#!/usr/bin/env bash
# Configures, builds and runs the whole test suite in the given presets
# (default: "default asan tsan"), with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(default asan tsan); fi
jobs=$(nproc)
for preset in "${presets[@]}"; do
  echo "=== preset: $preset"
  cmake --preset "$preset" -DVELMON_WERROR=ON
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
