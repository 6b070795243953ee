# Wine tests: the host player and plug-ins run under Wine on Xvfb, from the win32 build in
# QUORBEL_WIN32_DIR. A fixture `wine` starts the Xvfb displays and the Wine prefix once
# (tests/wine/harness.py); every tests/wine/test_*.py test method is one ctest test. They run
# one at a time (they share the prefix and its registry). Without Wine or the win32 build they
# fail: the setup test fails and so does every test that needs it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
if(NOT QUORBEL_WIN32_DIR)
    set(QUORBEL_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32)
endif()
set(QUORBEL_WINE_DIR ${CMAKE_SOURCE_DIR}/tests/wine)
set(QUORBEL_WINE_WORK ${CMAKE_BINARY_DIR}/wine)
set(QUORBEL_WINE_STATE ${QUORBEL_WINE_WORK}/state.json)
set(QUORBEL_WINE_ENV
    QUORBEL_WINE_STATE=${QUORBEL_WINE_STATE}
    QUORBEL_WIN32_DIR=${QUORBEL_WIN32_DIR}
    QUORBEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    PYTHONDONTWRITEBYTECODE=1)

add_test(NAME wine.setup
    COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py setup
            --state ${QUORBEL_WINE_STATE} --work ${QUORBEL_WINE_WORK} --win32 ${QUORBEL_WIN32_DIR})
set_tests_properties(wine.setup PROPERTIES
    FIXTURES_SETUP wine RUN_SERIAL TRUE LABELS wine TIMEOUT 600 ENVIRONMENT "${QUORBEL_WINE_ENV}")
add_test(NAME wine.cleanup
    COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py cleanup --state ${QUORBEL_WINE_STATE})
set_tests_properties(wine.cleanup PROPERTIES
    FIXTURES_CLEANUP wine RUN_SERIAL TRUE LABELS wine TIMEOUT 120)

file(GLOB QUORBEL_WINE_TEST_FILES CONFIGURE_DEPENDS ${QUORBEL_WINE_DIR}/test_*.py)
foreach(test_file ${QUORBEL_WINE_TEST_FILES})
    # New test methods appear after the next configure; editing the file triggers one.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${test_file})
    get_filename_component(module ${test_file} NAME_WE)
    string(REGEX REPLACE "^test_" "" group ${module})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
                ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py list ${test_file}
        OUTPUT_VARIABLE test_names ERROR_VARIABLE list_error RESULT_VARIABLE list_result
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT list_result EQUAL 0)
        # Keep the breakage visible: a test that repeats the failing listing.
        message(WARNING "cannot list the tests of ${test_file}: ${list_error}")
        add_test(NAME wine.${group}.listing
            COMMAND ${Python3_EXECUTABLE} ${QUORBEL_WINE_DIR}/harness.py list ${test_file})
        set_tests_properties(wine.${group}.listing PROPERTIES LABELS wine)
        continue()
    endif()
    string(REPLACE "\n" ";" test_names "${test_names}")
    foreach(name ${test_names})
        add_test(NAME wine.${group}.${name}
            COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}.${name}
            WORKING_DIRECTORY ${QUORBEL_WINE_DIR})
        set_tests_properties(wine.${group}.${name} PROPERTIES
            FIXTURES_REQUIRED wine RUN_SERIAL TRUE LABELS wine TIMEOUT 300
            ENVIRONMENT "${QUORBEL_WINE_ENV}")
    endforeach()
endforeach()
