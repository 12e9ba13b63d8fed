# Warnings and sanitizers for every target of the project, applied through one interface target.
add_library(korr_options INTERFACE)
target_compile_options(korr_options INTERFACE -Wall -Wextra -Wpedantic -Wformat=2 -Wshadow
    -Wnon-virtual-dtor -Wcast-align)
if(KORR_WERROR)
    target_compile_options(korr_options INTERFACE -Werror)
endif()
if(KORR_SANITIZE OR KORR_FUZZ)
    target_compile_options(korr_options INTERFACE -fsanitize=address,undefined
        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(korr_options INTERFACE -fsanitize=address,undefined)
endif()
if(KORR_FUZZ)
    # Coverage for libFuzzer in every library, so the fuzzers see the parsers' branches, not only
    # their harness. Programs that do not link libFuzzer (the tests) take the sanitizer runtime's
    # default coverage hooks, so one clang build serves both the tests and the fuzz targets.
    target_compile_options(korr_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
