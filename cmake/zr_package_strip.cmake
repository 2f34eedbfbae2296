# Run by CPack after it has installed the programs into its staging folder, before it packs
# them: removes the compiler's version notes (.comment) that CPack's own stripping keeps, as
# Debian's packaging tools do.
file(GLOB_RECURSE zr_programs "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
foreach(program IN LISTS zr_programs)
    execute_process(COMMAND ${CPACK_STRIP} --remove-section=.comment ${program}
                    RESULT_VARIABLE zr_status)
    if(NOT zr_status EQUAL 0)
        message(FATAL_ERROR "strip --remove-section=.comment ${program} failed")
    endif()
endforeach()
