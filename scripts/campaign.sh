#!/usr/bin/env bash
# The long runs, on demand: the fault campaign over 10,000 seeds (or KORR_CAMPAIGN_SEEDS), then
# every fuzz target for KORR_FUZZ_SECONDS each (default 600), keeping its corpus between runs.
# One seed again with its whole log: build/gcc/tests/campaign/korr_campaign --seed S --log FILE
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
source scripts/builds.sh
seeds="${KORR_CAMPAIGN_SEEDS:-10000}"
first="${KORR_CAMPAIGN_FIRST:-1}"
fuzz_seconds="${KORR_FUZZ_SECONDS:-600}"

configure_gcc
cmake --build build/gcc -j"$jobs" --target korr_campaign
echo "== fault campaign: $seeds seeds from $first"
status=0
build/gcc/tests/campaign/korr_campaign --seeds "$seeds" --first "$first" || status=1

echo "== fuzz targets, $fuzz_seconds s each"
configure_asan
cmake --build build/asan -j"$jobs"
for target in build/asan/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    fuzz_inputs "$name"
    echo "-- $name"
    if ! "$target" -max_total_time="$fuzz_seconds" -artifact_prefix=build/fuzz/ \
        -print_final_stats=1 "${inputs[@]}" >"build/fuzz/$name.long.log" 2>&1; then
        tail -n 40 "build/fuzz/$name.long.log"
        status=1
    fi
done
exit "$status"
