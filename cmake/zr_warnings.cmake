# Warning flags for the project's own targets (not for third-party code).
add_library(zr_warnings INTERFACE)
target_compile_options(zr_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    $<$<BOOL:${ZR_WERROR}>:-Werror>)
