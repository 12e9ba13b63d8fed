#!/usr/bin/env bash
# Sets everything up and runs every test: the suite built with g++, the suite built with clang
# under AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a bounded time.
# Warnings are errors in all builds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
source scripts/builds.sh
# A fixed seed and a run budget keep the fuzz runs the same from one CI run to the next; the time
# limit only caps a slow machine. Longer runs: KORR_FUZZ_RUNS=-1 KORR_FUZZ_SECONDS=600.
fuzz_seed="${KORR_FUZZ_SEED:-1}"
fuzz_runs="${KORR_FUZZ_RUNS:-25000}"
fuzz_seconds="${KORR_FUZZ_SECONDS:-15}"

echo "== g++: build and test"
configure_gcc
cmake --build build/gcc -j"$jobs"
ctest --test-dir build/gcc --output-on-failure -j"$jobs"

# Whole updates under random faults, each seed followed by clean retries (500 seeds, about 5 s).
# The long campaign is scripts/campaign.sh (10,000 seeds). KORR_CAMPAIGN_SEEDS=0 leaves it out.
campaign_seeds="${KORR_CAMPAIGN_SEEDS:-500}"
if [ "$campaign_seeds" -gt 0 ]; then
    echo "== fault campaign ($campaign_seeds seeds)"
    build/gcc/tests/campaign/korr_campaign --seeds "$campaign_seeds" --first 1
fi

echo "== clang with AddressSanitizer and UndefinedBehaviorSanitizer: build and test (and the fuzz targets)"
configure_asan
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j"$jobs"

echo "== fuzz targets (seed ${fuzz_seed}, ${fuzz_runs} runs or ${fuzz_seconds} s each)"
for target in build/asan/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    log="build/fuzz/$name.log"
    fuzz_inputs "$name"
    echo "-- $name"
    if ! "$target" -seed="$fuzz_seed" -runs="$fuzz_runs" -max_total_time="$fuzz_seconds" \
        -artifact_prefix=build/fuzz/ -print_final_stats=0 "${inputs[@]}" >"$log" 2>&1; then
        cat "$log"
        echo "$name failed; the input that failed is in build/fuzz (crash-*, leak-*, timeout-*)."
        exit 1
    fi
    tail -n 1 "$log"
done
echo "All builds, tests and fuzz runs passed."
