#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 programs natively, found out without Wine: writes a tiny
# i386 ELF program that exits with status 42, and runs it. Exit status 0 if it ran, 1 if not:
# the kernel's IA-32 emulation is off ("Exec format error"), or i386 programs run only through a
# CPU emulator registered with binfmt_misc (such as qemu-i386), at whose speed every 32-bit test
# would time out. Prints nothing, or with --why, when the answer is no, one line saying why.
set -uo pipefail
why=false
[ "${1:-}" = --why ] && why=true
binfmt=${VORKEL_BINFMT_MISC:-/proc/sys/fs/binfmt_misc}
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

no() {
    $why && echo "$*"
    exit 1
}

# The kernel hands a program to an enabled binfmt_misc entry whose magic (under its mask, at its
# offset) matches the program's first bytes before it tries to run it itself.
emulator() {
    local header entry magic mask offset i m
    [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ] || return 1
    header=$(od -An -tx1 -v "$program" | tr -d ' \n')
    for entry in "$binfmt"/*; do
        case ${entry##*/} in status | register) continue ;; esac
        [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
        magic=$(sed -n 's/^magic //p' "$entry")
        mask=$(sed -n 's/^mask //p' "$entry")
        offset=$(sed -n 's/^offset //p' "$entry")
        offset=${offset:-0}
        [ -n "$magic" ] || continue # an entry by file name extension
        for ((i = 0; i < ${#magic} / 2; i++)); do
            m=0xff
            [ -n "$mask" ] && m=0x${mask:2*i:2}
            [ $((0x${header:2*(offset+i):2} & m)) -eq $((0x${magic:2*i:2} & m)) ] || continue 2
        done
        echo "$(sed -n 's/^interpreter //p' "$entry") (binfmt_misc's ${entry##*/})"
        return 0
    done
    return 1
}

if through=$(emulator); then
    no "32-bit programs run here only through an emulator, $through," \
        "at whose speed every 32-bit test would time out"
fi
"$program" >/dev/null 2>&1
[ $? -eq 42 ] || no "this machine's kernel runs no 32-bit code: a 32-bit program gives \"Exec format error\""
