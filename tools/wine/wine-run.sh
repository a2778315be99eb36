#!/usr/bin/env bash
# Runs one Windows program under Wine in the given private prefix (made on first use), so that
# CTest can use it as the cross-compiling emulator: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
#
# The program's output goes through a file, not straight to our stdout: Wine hands its stdout on
# to the helper processes it starts, and a reader of a pipe would then wait for their end.
set -euo pipefail
prefix=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
"$here/ensure-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
wine "$@" >"$out" 2>&1 </dev/null || status=$?
# Wine adds carriage returns to console output; CTest and people read Unix lines.
tr -d '\r' <"$out"
exit $status
