#!/usr/bin/env bash
# Installs the Debian packages that are missing. Safe to run again.
#   install-deps.sh           building and testing: both toolchains, Wine, the fonts, the tools,
#                             and Wine's 32-bit half (wine32:i386) where the kernel runs 32-bit code
#   install-deps.sh --demo    the demo only: the 64-bit toolchain, Wine and the fonts; nothing
#                             32-bit, and no architecture added
# A package index that keeps failing (a mirror in the middle of a sync) ends nothing as long as the
# packages still install. wine32 is optional: where it cannot be installed, one line says why, the
# i386 architecture goes again if nothing i386 is installed, and the reason is kept in
# build/wine32-not-installed.txt, from which every 32-bit test's skip line takes it.
set -uo pipefail
# The test run installs once, before any test; the commands it runs after that install nothing.
[ -z "${VORKEL_DEPS_INSTALLED:-}" ] || exit 0
here=$(cd "$(dirname "$0")" && pwd)
wine32_reason_file=$here/../build/wine32-not-installed.txt
demo_packages=(
    cmake make libgtest-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xdotool imagemagick python3 util-linux procps
)
test_packages=(
    g++ clang libclang-rt-14-dev llvm clang-format libbenchmark-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686 x11-utils socat
)
case ${1:-} in
    --demo) packages=("${demo_packages[@]}") ;;
    "") packages=("${demo_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: tools/install-deps.sh [--demo]" >&2; exit 2 ;;
esac
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# apt-get update, tried a few times: a mirror's stale index mends itself within minutes. Sets
# $failed_index to the index that still failed ("" when the update went through).
update() {
    local log attempt
    log=$(mktemp)
    failed_index=""
    for attempt in 1 2 3; do
        [ "$attempt" -eq 1 ] || sleep 20
        if $sudo apt-get update -q 2>&1 | tee "$log"; then
            rm -f "$log"
            return
        fi
    done
    # "Err:4 URL suite/component arch Packages" and, indented below it, what went wrong.
    failed_index=$(awk '/^Err:/ { sub(/^Err:[0-9]+ /, ""); index_ = $0; getline; sub(/^ +/, "");
                                  print index_ ": " $0; exit }' "$log")
    [ -n "$failed_index" ] || failed_index=$(grep -m1 '^[EW]: ' "$log")
    rm -f "$log"
}

# apt-get install of the packages given. On failure sets $apt_error to apt's one line about it
# (an unmet dependency when apt names one, else its first error, and the index that failed to
# update) and $culprit to the package it concerns (all of them when apt names none).
install() {
    local log p words
    log=$(mktemp)
    if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@" \
        2>&1 | tee "$log"; then
        rm -f "$log"
        return 0
    fi
    apt_error=$(grep -m1 -E '^ \S+ : (Pre)?Depends: ' "$log" | sed 's/^ *//')
    [ -n "$apt_error" ] || apt_error=$(grep -m1 '^E: ' "$log")
    [ -n "$apt_error" ] || apt_error="apt-get install failed"
    apt_error+=${failed_index:+ (apt-get update kept failing on $failed_index)}
    culprit="$*"
    words=$(grep -E '^(E: | \S+ : )' "$log" | tr -s " '\"" '\n')
    for p in "$@"; do
        if grep -qxF -- "$p" <<<"$words"; then
            culprit=$p
            break
        fi
    done
    rm -f "$log"
    return 1
}

# What the failed index, if any, did to an install that went through anyway.
say_index() {
    [ -z "$failed_index" ] ||
        echo "install-deps: apt-get update kept failing on $failed_index; $1 installed without it"
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    update
    if ! install "${missing[@]}"; then
        echo "install-deps: cannot install $culprit: $apt_error"
        exit 1
    fi
    say_index "the packages"
fi
[ "${1:-}" = --demo ] && exit 0

if ! why=$("$here/runs-32-bit-code.sh" --why); then
    rm -f "$wine32_reason_file"
    if installed wine32:i386; then
        echo "install-deps: $why, yet wine32:i386 is installed and breaks every Wine call: remove it (apt-get remove wine32:i386)"
    else
        echo "install-deps: $why; nothing 32-bit installed, and the 32-bit exe's tests will be skipped"
    fi
elif ! installed wine32:i386; then
    echo "installing: wine32:i386 (this kernel runs 32-bit code)"
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    update
    if install wine32:i386; then
        rm -f "$wine32_reason_file"
        say_index "wine32:i386"
    else
        # A foreign architecture left behind makes every later apt-get update fetch its indexes,
        # and fail with them.
        if ! dpkg-query -W -f='${Architecture}\n' | grep -qx i386; then
            $sudo dpkg --remove-architecture i386
        fi
        mkdir -p "$(dirname "$wine32_reason_file")"
        echo "$apt_error" >"$wine32_reason_file"
        echo "install-deps: 32-bit Wine could not be installed: $apt_error;" \
            "the 32-bit exe's tests will be skipped"
    fi
else
    rm -f "$wine32_reason_file"
fi
exit 0
