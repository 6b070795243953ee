# The setup programs of both Windows builds are NSIS installers for the players of their kind
# (tests/check_installer.py); the Wine tests (tests/wine/test_installer.py) run the one this
# machine can run. Each fails while its build or makensis is missing.
foreach(build win32 win64)
    quorbel_windows_dir(${build} build_dir)
    add_test(NAME dll.installer.${build}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_installer.py
                ${build_dir} ${build})
    set_tests_properties(dll.installer.${build} PROPERTIES LABELS dll)
endforeach()
