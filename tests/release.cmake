# The release archives of both Windows builds hold what a user installs and nothing else:
# quorbel-4-winamp.zip of the 32-bit build (the product) and quorbel-4-winamp-x64.zip of the
# 64-bit one. Each fails while its build is missing.
foreach(build win32 win64)
    quorbel_windows_dir(${build} build_dir)
    if(build STREQUAL "win64")
        set(archive quorbel-4-winamp-x64.zip)
    else()
        set(archive quorbel-4-winamp.zip)
    endif()
    add_test(NAME dll.release_archive.${build}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_release.py
                ${build_dir} ${CMAKE_SOURCE_DIR} ${archive})
    set_tests_properties(dll.release_archive.${build} PROPERTIES LABELS dll)
endforeach()
