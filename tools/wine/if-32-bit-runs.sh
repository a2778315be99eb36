#!/usr/bin/env bash
# Runs the command given where this machine can run 32-bit Windows programs: its kernel runs
# 32-bit code and Wine's 32-bit half (wine32) is installed. Elsewhere it says why in one line and
# exits 77, which the 32-bit build's tests report as skipped, never as passed.
#   if-32-bit-runs.sh COMMAND [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! "$here/../runs-32-bit-code.sh"; then
    echo "skipped: this machine's kernel runs no 32-bit code (a 32-bit program gives \"Exec format error\"), so no 32-bit Windows program can run here"
    exit 77
fi
if [ ! -x /usr/lib/wine/wine ]; then
    echo "skipped: Wine's 32-bit half (wine32:i386) is not installed; tools/install-deps.sh installs it where the kernel runs 32-bit code"
    exit 77
fi
exec "$@"
