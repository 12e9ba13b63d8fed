# The two test builds, defined once for scripts/test.sh and scripts/campaign.sh (sourced, not run),
# so the long runs reuse what the test run compiled.
#   build/gcc   g++, optimised without debug information: the warnings that need the optimiser,
#               in less build time
#   build/asan  clang; the libraries carry AddressSanitizer, UndefinedBehaviorSanitizer and
#               libFuzzer's coverage, so the same objects serve the test suite and the fuzz targets
# Warnings are errors in both. A second run on the same machine reuses what ccache kept.

jobs="$(nproc)"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure_gcc() {
    cmake -S . -B build/gcc -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" \
        -DCMAKE_CXX_COMPILER=g++ -DKORR_WERROR=ON ${launcher[@]+"${launcher[@]}"} >/dev/null
}

configure_asan() {
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DKORR_WERROR=ON -DKORR_SANITIZE=ON -DKORR_FUZZ=ON -DKORR_BENCHMARKS=OFF \
        ${launcher[@]+"${launcher[@]}"} >/dev/null
}

# Sets `inputs` to what a fuzz target reads: its corpus, kept between runs in build/fuzz, and
# the seeds it is shipped with.
fuzz_inputs() {
    local name="$1"
    mkdir -p "build/fuzz/corpus/$name"
    inputs=("build/fuzz/corpus/$name")
    if [ -d "tests/fuzz/seeds/${name#fuzz_}" ]; then inputs+=("tests/fuzz/seeds/${name#fuzz_}"); fi
}
