include(GoogleTest)

# zr_add_test(NAME SOURCES... LIBS ...): one GoogleTest executable, registered with ctest.
function(zr_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} zr_testsupport GTest::gtest GTest::gtest_main zr_warnings)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # Where tests find the sources (sample files) and the built programs.
    target_compile_definitions(${name} PRIVATE ZR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               ZR_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()
