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
