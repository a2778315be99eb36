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
# The loader of the program's own bitness (its PE header's machine field): Debian's `wine` takes
# the 32-bit loader whenever wine32 is installed, and that one hands a 64-bit program on to a
# process of its own.
loader=/usr/lib/wine/wine64
offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || offset=""
if [ -n "$offset" ] && [ "$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')" = 014c ]; then
    loader=/usr/lib/wine/wine
fi
[ -x "$loader" ] || loader=wine
export WINELOADER=$loader
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
"$loader" "$@" >"$out" 2>&1 </dev/null || status=$?
# Wine adds carriage returns to console output; CTest and people read Unix lines.
tr -d '\r' <"$out"
exit $status
