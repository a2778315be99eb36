#!/usr/bin/env bash
# Installs every Debian package that building, testing and the demo need. Safe to run again.
set -euo pipefail
packages=(
    cmake make g++ clang libclang-rt-14-dev llvm clang-format
    libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 fonts-wine
    xvfb x11-utils xdotool imagemagick socat python3 util-linux procps
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
