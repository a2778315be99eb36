#!/usr/bin/env bash
# Builds both exes from scratch and writes the release an operator downloads:
#   vorkelDDE-1.00-win32.zip (XP SP3 and later), vorkelDDE-1.00-win64.zip (Vista and later),
#   SHA256SUMS
# into build/release (or --out DIR). Two runs, or two clones of one commit, give the same bytes.
# --no-install skips installing what is missing (tools/install-deps.sh): a test that runs this
# must not change what is installed on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/release
install=true
while [ $# -gt 0 ]; do
    case $1 in
        --out) out=$2; shift 2 ;;
        --no-install) install=false; shift ;;
        *) echo "usage: tools/release.sh [--out DIR] [--no-install]" >&2; exit 2 ;;
    esac
done
if $install; then
    tools/install-deps.sh
fi
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
    echo "release.sh: note: the tree has uncommitted changes; the zips are built from them" >&2
fi

# Fresh build trees: nothing of an earlier build can slip into the release.
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
for target in windows32:win32 windows:win64; do
    preset=${target%%:*}
    label=${target##*:}
    echo "=== $label: configure and build"
    cmake --preset "$preset" -B "$out/build-$label" -DVORKEL_RUN_WINDOWS_TESTS=OFF >/dev/null
    cmake --build "$out/build-$label" --target vorkelDDE -j 2 >/dev/null
done
echo "=== packing"
python3 tools/release/package.py --win32 "$out/build-win32/ui/vorkelDDE.exe" \
    --win64 "$out/build-win64/ui/vorkelDDE.exe" --out "$out"
ls -l "$out"/*.zip
