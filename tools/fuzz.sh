#!/usr/bin/env bash
# Bounded fuzz runs of the logic and of the links' text handling, under AddressSanitizer and
# UndefinedBehaviorSanitizer: builds the sanitize preset, runs each fuzz target for SECONDS
# (default 30) from its seeds and the corpus it has gathered so far, and prints for each how
# many inputs it ran and how many failed. Any failing input is kept beside the target in
# build/sanitize/tests/fuzz/ (TARGET-crash-*, -leak-*, -timeout-*).
#
#     tools/fuzz.sh [SECONDS]
# (VORKEL_SANITIZE_BUILD names another build directory for the sanitize preset.)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${VORKEL_SANITIZE_BUILD:-build/sanitize}
targets=(logic line_settings record_bytes)
tools/install-deps.sh >/dev/null || exit 1
cmake --preset sanitize -B "$build" >/dev/null &&
    cmake --build "$build" -j 2 --target "${targets[@]}" >/dev/null ||
    { echo "fuzz.sh: the sanitize build failed"; exit 1; }

dir=$build/tests/fuzz
failed=0
printf '%-14s %8s %12s %10s %8s\n' target seconds executions "per second" failures
for target in "${targets[@]}"; do
    log=$(mktemp)
    mkdir -p "$dir/$target-corpus"
    before=$(ls "$dir" | grep -c -E "^$target-(crash|leak|timeout|oom)-" || true)
    start=$(date +%s)
    "$dir/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/$target-" "$dir/$target-corpus" "tests/fuzz/seeds/$target" \
        >"$log" 2>&1
    code=$?
    took=$(($(date +%s) - start))
    after=$(ls "$dir" | grep -c -E "^$target-(crash|leak|timeout|oom)-" || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    failures=$((after - before))
    [ "$code" -ne 0 ] && [ "$failures" -eq 0 ] && failures=1
    printf '%-14s %8s %12s %10s %8s\n' "$target" "$took" "${runs:-?}" \
        "$(( ${runs:-0} / (took > 0 ? took : 1) ))" "$failures"
    if [ "$failures" -ne 0 ]; then
        failed=1
        tail -n 30 "$log"
    fi
    rm -f "$log"
done
exit $failed
