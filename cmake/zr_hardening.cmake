# The hardening a Debian package is built with, for every target of an optimised build: the
# flags dpkg-buildflags gives with all its hardening features (stack protector, fortified libc
# calls, read-only relocations bound at start; the compiler makes position-independent
# executables by default). The build type keeps choosing optimisation and debug information,
# and the file-prefix map is left out, so that compiler caches serve any checkout. Off in
# sanitizer builds, whose run-time checks replace these. Without dpkg-buildflags (not Debian),
# nothing is added. Of the presets, "viewer" (what run-viewer.sh runs and install-package.sh and
# check-install.sh package) has it; "release", the test build, leaves it off.
option(ZR_HARDENING "Build with the distribution's hardening flags (dpkg-buildflags)" ON)
if(ZR_HARDENING AND NOT ZR_SANITIZE AND NOT ZR_FUZZ)
    find_program(ZR_DPKG_BUILDFLAGS dpkg-buildflags)
    if(ZR_DPKG_BUILDFLAGS)
        set(zr_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(
                COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                        ${ZR_DPKG_BUILDFLAGS} --get ${kind}
                OUTPUT_VARIABLE zr_flags OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE zr_status)
            if(NOT zr_status EQUAL 0)
                message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
            endif()
            separate_arguments(zr_flags UNIX_COMMAND "${zr_flags}")
            list(FILTER zr_flags EXCLUDE REGEX "^-g|^-O|^-f(file|debug|macro)-prefix-map=")
            foreach(flag IN LISTS zr_flags)
                if(kind STREQUAL LDFLAGS)
                    add_link_options($<${zr_optimised}:${flag}>)
                else()
                    add_compile_options($<${zr_optimised}:${flag}>)
                endif()
            endforeach()
            string(JOIN " " zr_shown ${zr_flags})
            message(STATUS "Hardening (${kind}, optimised builds): ${zr_shown}")
        endforeach()
    endif()
endif()
