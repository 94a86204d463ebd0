#!/usr/bin/env bash
# Installs what is missing, builds, and runs orbitchat-sim with the given arguments
# (none: the pane on a copy of the sample device examples/device).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target orbitchat-sim
exec build/default/src/sim/orbitchat-sim "$@"
