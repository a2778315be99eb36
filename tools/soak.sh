#!/usr/bin/env bash
# The soak as one command: installs what is missing, builds the windows preset and runs
# tools/soak.py on a virtual display of its own (default 600 s; arguments go to soak.py,
# e.g. --seconds 3600).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
# Not the desktop's display: the run must not depend on what else is on it.
unset DISPLAY
exec python3 tools/soak.py --build build/windows "$@"
