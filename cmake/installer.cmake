# The setup program, built by makensis from installer/quorbel.nsi with the release folder's files
# (release.cmake lays it out): build/win32/quorbel-4-winamp-setup.exe (x86-unicode, the product)
# and build/win64/quorbel-4-winamp-x64-setup.exe (amd64-unicode, for 64-bit players and for
# the tests on machines that run no 32-bit code). The custom target `installer` is part of ALL;
# without makensis (Debian package nsis, which scripts/setup.sh installs) it is left out.
find_program(QUORBEL_MAKENSIS makensis)
find_package(Python3 COMPONENTS Interpreter)
if(NOT QUORBEL_MAKENSIS OR NOT Python3_Interpreter_FOUND)
    message(STATUS "makensis or python3 not found: the setup program is not built "
                   "(install the Debian packages nsis and python3, as scripts/setup.sh does)")
    return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUORBEL_SETUP_NAME quorbel-4-winamp-x64-setup.exe)
    set(installer_x64 --x64)
else()
    set(QUORBEL_SETUP_NAME quorbel-4-winamp-setup.exe)
    set(installer_x64 "")
endif()
set(QUORBEL_SETUP_EXE ${CMAKE_BINARY_DIR}/${QUORBEL_SETUP_NAME})

add_custom_command(OUTPUT ${QUORBEL_SETUP_EXE}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/installer/make_installer.py
            ${QUORBEL_MAKENSIS} ${CMAKE_BINARY_DIR}/release/Quorbel-4-Winamp
            ${CMAKE_BINARY_DIR}/installer ${CMAKE_SOURCE_DIR}/plugin/resources/quorbel.ico
            ${QUORBEL_SETUP_EXE} ${installer_x64}
    DEPENDS ${QUORBEL_RELEASE_ZIP} ${CMAKE_SOURCE_DIR}/installer/quorbel.nsi
            ${CMAKE_SOURCE_DIR}/installer/make_installer.py
            ${CMAKE_SOURCE_DIR}/plugin/resources/quorbel.ico
    COMMENT "Making the setup program ${QUORBEL_SETUP_NAME}"
    VERBATIM)
add_custom_target(installer ALL DEPENDS ${QUORBEL_SETUP_EXE})
