#!/usr/bin/env bash
# Installs every Debian package that building, testing and the demo need. Safe to run again.
# Wine's 32-bit half (wine32:i386, for the 32-bit exe's tests) only where the kernel runs 32-bit
# code: elsewhere it would break every Wine call on the machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages=(
    cmake make g++ clang libclang-rt-14-dev llvm clang-format
    libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 fonts-wine
    xvfb x11-utils xdotool imagemagick socat python3 util-linux procps
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! "$here/runs-32-bit-code.sh"; then
    if installed wine32:i386; then
        echo "install-deps: this kernel runs no 32-bit code (Exec format error), yet wine32:i386 is installed and breaks every Wine call: remove it (apt-get remove wine32:i386)"
    else
        echo "install-deps: this kernel runs no 32-bit code (Exec format error): nothing 32-bit installed; the 32-bit exe's tests will be skipped"
    fi
elif ! installed wine32:i386; then
    echo "installing: wine32:i386 (this kernel runs 32-bit code)"
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends wine32:i386
fi
