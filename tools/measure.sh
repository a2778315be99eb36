#!/usr/bin/env bash
# Builds what the measurements need and prints every performance and footprint figure.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset native >/dev/null && cmake --build --preset native --target logic_benchmark
cmake --preset windows >/dev/null
cmake --build --preset windows --target vorkelDDE tracking_simulator tracking_probe window_probe tick_floor
exec python3 tools/measure.py "$@"
