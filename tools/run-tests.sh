#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every preset and runs all their tests
# (native, under sanitizers with bounded fuzzing, the 64-bit Windows side under Wine on Xvfb,
# and the 32-bit Windows build, whose programs cannot run here: built, and its exe audited).
# Ends with one line "N passed, M failed" over all of them.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh || exit 1

# One virtual display for every Windows program of the run, unless a display is given.
xvfb_pid=""
cleanup() {
    for prefix in build/windows/wineprefix; do
        [ -d "$prefix" ] && WINEPREFIX=$PWD/$prefix wineserver -k 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
    exec 8< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&8
    read -r display_number <&8
    export DISPLAY=":$display_number"
fi

passed=0
failed=0

# Our C++ sources as clang-format leaves them: a file it would change fails the run.
echo "=== format: clang-format --dry-run -Werror"
if git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
    passed=$((passed + 1))
else
    echo "=== format: run clang-format -i on the files above"
    failed=$((failed + 1))
fi

for preset in native sanitize windows windows32; do
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
        echo "=== $preset: build failed"
        failed=$((failed + 1))
        continue
    fi
    echo "=== $preset: tests"
    log=$(mktemp)
    ctest --preset "$preset" 2>&1 | tee "$log"
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        continue
    fi
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
