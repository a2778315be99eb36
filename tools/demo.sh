#!/usr/bin/env bash
# The README's main-job command: installs what is missing of what the demo needs (the 64-bit
# toolchain, Wine and the fonts; nothing 32-bit), builds the Windows side, and runs the
# station under Wine with the simulated tracking program and rotor controller (tools/demo.py).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --demo
cmake --preset windows >/dev/null
cmake --build --preset windows --target vorkelDDE tracking_simulator window_probe
exec python3 tools/demo.py "$@"
