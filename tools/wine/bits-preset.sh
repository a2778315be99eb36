# Sourced by the tools that take the exe's bitness (measure.sh, soak.sh): takes a leading
# "--bits 64|32" off the caller's arguments, sets $preset to the build of that bitness, installs
# what is missing, and ends the caller with one line why where 32-bit programs cannot run.
bits=64
if [ "${1:-}" = --bits ]; then
    bits=${2:-}
    shift 2 || shift
fi
case $bits in
    64) preset=windows ;;
    32) preset=windows32 ;;
    *) echo "usage: $0 [--bits 64|32] [arguments of the Python tool]" >&2; exit 2 ;;
esac
tools/install-deps.sh
# Where 32-bit programs cannot run, say so before building anything.
[ "$bits" = 64 ] || tools/wine/if-32-bit-runs.sh true || exit
