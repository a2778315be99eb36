#!/usr/bin/env bash
# Builds what the measurements need and prints every performance and footprint figure.
#   tools/measure.sh [--bits 64|32] [measure.py's arguments, e.g. --ticks 120 --starts 5]
# --bits 32 measures the 32-bit exe (the windows32 preset); that needs a kernel that runs 32-bit
# code and Wine's 32-bit half (tools/install-deps.sh installs it where it can).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine/bits-preset.sh
cmake --preset native >/dev/null && cmake --build --preset native --target logic_benchmark
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target vorkelDDE tracking_simulator tracking_probe window_probe tick_floor
exec python3 tools/measure.py --build "build/$preset" "$@"
