#!/usr/bin/env bash
# The long runs, on demand: the fault campaign over 10,000 seeds (or KORR_CAMPAIGN_SEEDS), then
# every fuzz target for KORR_FUZZ_SECONDS each (default 600), keeping its corpus between runs.
# One seed again with its whole log: build/gcc/tests/campaign/korr_campaign --seed S --log FILE
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"
seeds="${KORR_CAMPAIGN_SEEDS:-10000}"
first="${KORR_CAMPAIGN_FIRST:-1}"
fuzz_seconds="${KORR_FUZZ_SECONDS:-600}"

cmake -S . -B build/gcc -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DKORR_WERROR=ON >/dev/null
cmake --build build/gcc -j"$jobs" --target korr_campaign
echo "== fault campaign: $seeds seeds from $first"
status=0
build/gcc/tests/campaign/korr_campaign --seeds "$seeds" --first "$first" || status=1

echo "== fuzz targets, $fuzz_seconds s each"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DKORR_WERROR=ON -DKORR_FUZZ=ON -DKORR_TESTS=OFF -DKORR_BENCHMARKS=OFF >/dev/null
cmake --build build/fuzz -j"$jobs"
for target in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    inputs=("$corpus")
    seeds_dir="tests/fuzz/seeds/${name#fuzz_}"
    [ -d "$seeds_dir" ] && inputs+=("$seeds_dir")
    echo "-- $name"
    if ! "$target" -max_total_time="$fuzz_seconds" -artifact_prefix=build/fuzz/ \
        -print_final_stats=1 "${inputs[@]}" >"build/fuzz/$name.long.log" 2>&1; then
        tail -n 40 "build/fuzz/$name.long.log"
        status=1
    fi
done
exit "$status"
