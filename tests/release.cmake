# The release archive of the Windows build (QUORBEL_WIN32_DIR) holds what a user installs and
# nothing else. Fails while the win32 build is missing.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
if(NOT QUORBEL_WIN32_DIR)
    set(QUORBEL_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32)
endif()
add_test(NAME dll.release_archive
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_release.py
            ${QUORBEL_WIN32_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(dll.release_archive PROPERTIES LABELS dll)
