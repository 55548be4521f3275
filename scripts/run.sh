#!/usr/bin/env bash
# Builds the default preset and runs the agent in the C host program, which
# loads libvelmon.so by name, starts it and walks its view.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target velmon sdk_host
exec build/default/tests/sdk_host build/default/agent/libvelmon.so
