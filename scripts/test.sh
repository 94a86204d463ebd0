#!/usr/bin/env bash
# Installs what is missing, builds the given preset (default: "default") and runs the whole suite.
# Tests that need a display start their own Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
