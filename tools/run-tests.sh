#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every preset and runs all their tests
# (native, under sanitizers with bounded fuzzing, and the Windows side of both exes under Wine
# on Xvfb; the 32-bit one's tests are skipped, each saying why, where the kernel runs no 32-bit
# code, or where wine32 could not be installed). Ends with one line "N passed, M failed,
# K skipped" over all of them, with the reasons for the skips in brackets.
set -uo pipefail
cd "$(dirname "$0")/.."
# The run's only install: no test installs or removes anything, and the documented commands run
# below skip theirs.
tools/install-deps.sh || exit 1
export VORKEL_DEPS_INSTALLED=1

# Every Wine session of the run has a virtual display of its own (tools/testing/wine_session.py).
cleanup() {
    # Every prefix of every preset the run used, whichever test made it.
    for prefix in build/*/wineprefix* build/*/wineprefixes/*; do
        [ -d "$prefix" ] && WINEPREFIX=$PWD/$prefix wineserver -k 2>/dev/null
    done
}
trap cleanup EXIT

passed=0
failed=0
skipped=0
reasons=""

# Our C++ sources as clang-format leaves them: a file it would change fails the run.
echo "=== format: clang-format --dry-run -Werror"
if git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
    passed=$((passed + 1))
else
    echo "=== format: run clang-format -i on the files above"
    failed=$((failed + 1))
fi

# Each test's outcome as CTest's JUnit report gives it: "passed", "failed" or "skipped", and for
# a skipped one the first line it printed (why).
outcomes() {
    python3 - "$1" <<'PY'
import sys
import xml.etree.ElementTree as ET
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status")
    if status == "run":
        print("passed", case.get("name"))
    elif status in ("notrun", "disabled") and case.find("failure") is None:
        why = (case.findtext("system-out") or "").strip().splitlines()
        print("skipped", case.get("name"), why[0] if why else "")
    else:
        print("failed", case.get("name"))
PY
}

for preset in native sanitize windows windows32; do
    began=$SECONDS
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
        echo "=== $preset: build failed"
        failed=$((failed + 1))
        continue
    fi
    echo "=== $preset: tests"
    report=$(mktemp)
    ctest --preset "$preset" --output-junit "$report"
    if ! results=$(outcomes "$report") || [ -z "$results" ]; then
        echo "=== $preset: no test results"
        failed=$((failed + 1))
        rm -f "$report"
        continue
    fi
    rm -f "$report"
    echo "=== $preset: built and tested in $((SECONDS - began)) s"
    passed=$((passed + $(grep -c '^passed ' <<<"$results")))
    failed=$((failed + $(grep -c '^failed ' <<<"$results")))
    skips=$(grep '^skipped ' <<<"$results" || true)
    if [ -n "$skips" ]; then
        skipped=$((skipped + $(wc -l <<<"$skips")))
        # One line per reason, with the tests it held back.
        echo "=== $preset: skipped:"
        awk '{ name = $2; $1 = $2 = ""; sub(/^ +/, ""); tests[$0] = tests[$0] " " name }
             END { for (why in tests) print "    " why " (" substr(tests[why], 2) ")" }' \
            <<<"$skips"
        reasons+=$(awk '{ $1 = $2 = ""; sub(/^ +/, ""); sub(/^skipped: /, ""); print }' \
            <<<"$skips")$'\n'
    fi
done

# Every command the README and the notes give, once in a short form: each must run to its end.
# (tools/release.sh runs in the release test, twice.)
for command in "tools/measure.sh --ticks 5 --starts 1" "tools/soak.sh --seconds 30" \
               "tools/demo.sh --headless --seconds 10"; do
    echo "=== documented command: $command"
    if $command; then
        passed=$((passed + 1))
    else
        echo "=== documented command failed: $command"
        failed=$((failed + 1))
    fi
done

# Each distinct reason once: the last line tells a kernel without 32-bit code from a wine32
# that could not be installed.
why=$(awk 'NF && !seen[$0]++ { printf "%s%s", n++ ? "; " : "", $0 }' <<<"$reasons")
echo "$passed passed, $failed failed, $skipped skipped${why:+ ($why)}"
[ "$failed" -eq 0 ]
