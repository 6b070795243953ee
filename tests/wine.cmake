# Wine tests: the host player and plug-ins run under Wine on Xvfb. Every tests/wine/test_*.py
# test method is one ctest test, registered once for each build in QUORBEL_WINE_RUN_BUILDS as
# wine32.GROUP.NAME (the 32-bit build, QUORBEL_WIN32_DIR) or wine64.GROUP.NAME (the 64-bit
# build, QUORBEL_WIN64_DIR, under the 64-bit Wine loader). Each build has a fixture that starts
# the Xvfb displays and a Wine prefix of its own once (tests/wine/harness.py). The tests run one
# at a time (they share the prefix and its registry). Without Wine or the build they fail: the
# setup test fails and so does every test that needs it. Where the 32-bit build is not run,
# each group of its tests is one skipped test that says why.
set(QUORBEL_WINE_DIR ${CMAKE_SOURCE_DIR}/tests/wine)
file(GLOB QUORBEL_WINE_TEST_FILES CONFIGURE_DEPENDS ${QUORBEL_WINE_DIR}/test_*.py)

# The test names of each file, listed once.
set(QUORBEL_WINE_GROUPS "")
foreach(test_file ${QUORBEL_WINE_TEST_FILES})
    # New test methods appear after the next configure; editing the file triggers one.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${test_file})
    get_filename_component(module ${test_file} NAME_WE)
    string(REGEX REPLACE "^test_" "" group ${module})
    list(APPEND QUORBEL_WINE_GROUPS ${group})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
                ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py list ${test_file}
        OUTPUT_VARIABLE test_names ERROR_VARIABLE list_error RESULT_VARIABLE list_result
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(list_result EQUAL 0)
        string(REPLACE "\n" ";" test_names "${test_names}")
        set(QUORBEL_WINE_TESTS_${group} ${test_names})
    else()
        message(WARNING "cannot list the tests of ${test_file}: ${list_error}")
        set(QUORBEL_WINE_LISTING_FAILED_${group} TRUE)
    endif()
endforeach()

foreach(build win32 win64)
    string(REPLACE "win" "wine" prefix ${build})
    if(NOT build IN_LIST QUORBEL_WINE_RUN_BUILDS)
        if(build STREQUAL "win32")
            foreach(group ${QUORBEL_WINE_GROUPS})
                list(LENGTH QUORBEL_WINE_TESTS_${group} count)
                quorbel_skipped_32bit(${prefix}.${group}
                    "the ${count} Wine tests of tests/wine/test_${group}.py on the 32-bit build")
            endforeach()
        endif()
        continue()
    endif()
    quorbel_windows_dir(${build} build_dir)
    set(work ${CMAKE_BINARY_DIR}/wine-${build})
    set(state ${work}/state.json)
    set(environment
        QUORBEL_WINE_STATE=${state}
        QUORBEL_WINDOWS_DIR=${build_dir}
        QUORBEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
        PYTHONDONTWRITEBYTECODE=1
        ${QUORBEL_WINE_ENVIRONMENT_${build}})

    add_test(NAME ${prefix}.setup
        COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py setup
                --state ${state} --work ${work} --windows ${build_dir} --build ${build})
    set_tests_properties(${prefix}.setup PROPERTIES
        FIXTURES_SETUP ${prefix} RUN_SERIAL TRUE LABELS "wine;${prefix}" TIMEOUT 600
        ENVIRONMENT "${environment}")
    add_test(NAME ${prefix}.cleanup
        COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py cleanup --state ${state})
    set_tests_properties(${prefix}.cleanup PROPERTIES
        FIXTURES_CLEANUP ${prefix} RUN_SERIAL TRUE LABELS "wine;${prefix}" TIMEOUT 120
        ENVIRONMENT "${environment}")

    foreach(group ${QUORBEL_WINE_GROUPS})
        if(QUORBEL_WINE_LISTING_FAILED_${group})
            # Keep the breakage visible: a test that repeats the failing listing.
            add_test(NAME ${prefix}.${group}.listing
                COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py list
                        ${QUORBEL_WINE_DIR}/test_${group}.py)
            set_tests_properties(${prefix}.${group}.listing PROPERTIES LABELS "wine;${prefix}")
            continue()
        endif()
        foreach(name ${QUORBEL_WINE_TESTS_${group}})
            add_test(NAME ${prefix}.${group}.${name}
                COMMAND ${Python3_EXECUTABLE} -m unittest -v test_${group}.${name}
                WORKING_DIRECTORY ${QUORBEL_WINE_DIR})
            set_tests_properties(${prefix}.${group}.${name} PROPERTIES
                FIXTURES_REQUIRED ${prefix} RUN_SERIAL TRUE LABELS "wine;${prefix}" TIMEOUT 300
                ENVIRONMENT "${environment}")
        endforeach()
    endforeach()
endforeach()
