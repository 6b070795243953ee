# The unit tests built for Windows (tests/windows) run under Wine on each build the Wine tests
# run; the 32-bit build's are reported as skipped, with the reason, where it cannot run.
foreach(build win32 win64)
    string(REPLACE "win" "wine" prefix ${build})
    if(NOT build IN_LIST QUORBEL_WINE_RUN_BUILDS)
        if(build STREQUAL "win32")
            quorbel_skipped_32bit(${prefix}.unit_tests
                "the unit tests of the flames and the frame copy built for 32-bit Windows")
        endif()
        continue()
    endif()
    quorbel_windows_dir(${build} build_dir)
    quorbel_wine_environment(${build} wine_environment)
    add_test(NAME ${prefix}.unit_tests
        COMMAND sh ${CMAKE_SOURCE_DIR}/tests/windows_unit_tests.sh
                ${build_dir}/tests/windows/quorbel_windows_tests.exe
                ${CMAKE_BINARY_DIR}/wine_unit_${build})
    # Alone, like the other Wine tests.
    set_tests_properties(${prefix}.unit_tests PROPERTIES LABELS "wine;${prefix}" TIMEOUT 600
                         RUN_SERIAL TRUE ENVIRONMENT "${wine_environment}")
endforeach()
