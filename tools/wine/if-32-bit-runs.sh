#!/usr/bin/env bash
# Runs the command given where this machine can run 32-bit Windows programs: it runs 32-bit code
# natively and Wine's 32-bit half (wine32) is installed. Elsewhere it says why in one line and
# exits 77, which the 32-bit build's tests report as skipped, never as passed.
#   if-32-bit-runs.sh COMMAND [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! why=$("$here/../runs-32-bit-code.sh" --why); then
    echo "skipped: $why"
    exit 77
fi
if [ ! -x /usr/lib/wine/wine ]; then
    # Written by install-deps.sh when apt could not install it.
    reason_file=$here/../../build/wine32-not-installed.txt
    if [ -s "$reason_file" ]; then
        echo "skipped: 32-bit Wine could not be installed: $(head -n 1 "$reason_file")"
    else
        echo "skipped: Wine's 32-bit half (wine32:i386) is not installed; tools/install-deps.sh installs it where the kernel runs 32-bit code"
    fi
    exit 77
fi
exec "$@"
