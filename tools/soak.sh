#!/usr/bin/env bash
# The soak as one command: installs what is missing, builds the exe's preset and runs
# tools/soak.py on a virtual display of its own (default 600 s; other arguments go to soak.py,
# e.g. --seconds 3600).
#   tools/soak.sh [--bits 64|32] [soak.py's arguments]
# --bits 32 soaks the 32-bit exe (the windows32 preset); that needs a kernel that runs 32-bit
# code and Wine's 32-bit half (tools/install-deps.sh installs it where it can).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine/bits-preset.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null
# Not the desktop's display: the run must not depend on what else is on it.
unset DISPLAY
exec python3 tools/soak.py --build "build/$preset" "$@"
