# The import and export tables of both Windows builds (QUORBEL_WIN32_DIR, QUORBEL_WIN64_DIR):
# only system DLLs are imported, every file is of its build's machine, and the plug-in exports
# exactly winampVisGetHeader. The check reads the files, so it runs on any machine; it fails
# while a build is missing.
foreach(build win32 win64)
    quorbel_windows_dir(${build} build_dir)
    add_test(NAME dll.tables.${build}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_dll_tables.py
                ${build_dir} ${build})
    set_tests_properties(dll.tables.${build} PROPERTIES LABELS dll)
endforeach()
