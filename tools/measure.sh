#!/usr/bin/env bash
# Builds what the measurements need and prints every performance and footprint figure.
#   tools/measure.sh [--bits 64|32] [measure.py's arguments, e.g. --ticks 120 --starts 5]
# --bits 32 measures the 32-bit exe (the windows32 preset); that needs a kernel that runs 32-bit
# code and Wine's 32-bit half (tools/install-deps.sh installs it where it can).
set -euo pipefail
cd "$(dirname "$0")/.."
bits=64
if [ "${1:-}" = --bits ]; then
    bits=$2
    shift 2
fi
case $bits in
    64) preset=windows ;;
    32) preset=windows32 ;;
    *) echo "usage: tools/measure.sh [--bits 64|32] [measure.py's arguments]" >&2; exit 2 ;;
esac
tools/install-deps.sh
# Where 32-bit programs cannot run, say so before building anything.
[ "$bits" = 64 ] || tools/wine/if-32-bit-runs.sh true || exit
cmake --preset native >/dev/null && cmake --build --preset native --target logic_benchmark
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target vorkelDDE tracking_simulator tracking_probe window_probe tick_floor
exec python3 tools/measure.py --build "build/$preset" "$@"
