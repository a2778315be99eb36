#!/usr/bin/env bash
# Whether this machine's kernel runs 32-bit x86 programs, found out without Wine: writes a tiny
# i386 ELF program that exits with status 42, and runs it. Exit status 0 if it ran, 1 if not
# (the kernel's IA-32 emulation is off: "Exec format error"). Prints nothing.
set -uo pipefail
program=$(mktemp "${TMPDIR:-/tmp}/vorkel-i386-XXXXXX")
trap 'rm -f "$program"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes) mapping the whole file at 0x08048000,
# and the code at 0x08048054: mov ebx, 42; mov eax, 1 (exit); int 0x80.
printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$program"
chmod +x "$program"
"$program" >/dev/null 2>&1
[ $? -eq 42 ]
