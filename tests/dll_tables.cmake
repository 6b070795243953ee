# The import and export tables of the Windows build (QUORBEL_WIN32_DIR): only system DLLs are
# imported and the plug-in exports exactly winampVisGetHeader. Fails while the win32 build is
# missing.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
if(NOT QUORBEL_WIN32_DIR)
    set(QUORBEL_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32)
endif()
add_test(NAME dll.tables
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_dll_tables.py
            ${QUORBEL_WIN32_DIR})
set_tests_properties(dll.tables PROPERTIES LABELS dll)
