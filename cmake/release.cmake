# The release archive, build/win32/quorbel-4-winamp.zip (build/win64/quorbel-4-winamp-x64.zip
# for 64-bit players): what a user copies into the player's folder, laid out as it goes there:
#   Plugins/vis_quorbel.dll, gbm.dll, maps/, objs/, pics/, an empty tabs/, the three table
#   tools in tools/, and README.txt (data/release_readme.txt with Windows line ends).
# The custom target `release` is part of ALL and makes the archive again when an input changes.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUORBEL_RELEASE_NAME quorbel-4-winamp-x64.zip)
else()
    set(QUORBEL_RELEASE_NAME quorbel-4-winamp.zip)
endif()
set(QUORBEL_RELEASE_ZIP ${CMAKE_BINARY_DIR}/${QUORBEL_RELEASE_NAME})

set(release_tool_targets spiralmaker hurricanemaker spaceflightmaker)
set(release_depends vis_quorbel gbm ${release_tool_targets} ${CMAKE_SOURCE_DIR}/data/release_readme.txt
    ${CMAKE_SOURCE_DIR}/cmake/make_release.cmake)
set(release_tools "")
foreach(tool ${release_tool_targets})
    list(APPEND release_tools $<TARGET_FILE:${tool}>)
endforeach()
foreach(folder maps objs pics)
    file(GLOB_RECURSE folder_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/${folder}/*)
    # Names such as "$.obj" cannot stand in a build rule; the copy still takes every file.
    list(FILTER folder_files INCLUDE REGEX "/[A-Za-z0-9_-]+\\.[A-Za-z]+$")
    list(APPEND release_depends ${folder_files})
endforeach()
string(REPLACE ";" "|" release_tool_list "${release_tools}")

add_custom_command(OUTPUT ${QUORBEL_RELEASE_ZIP}
    COMMAND ${CMAKE_COMMAND} -DPLUGIN=$<TARGET_FILE:vis_quorbel> -DGBM=$<TARGET_FILE:gbm>
            "-DTOOLS=${release_tool_list}" -DDATA=${CMAKE_SOURCE_DIR}/data
            -DSTAGE=${CMAKE_BINARY_DIR}/release -DZIP=${QUORBEL_RELEASE_ZIP}
            -P ${CMAKE_SOURCE_DIR}/cmake/make_release.cmake
    DEPENDS ${release_depends}
    COMMENT "Making the release archive ${QUORBEL_RELEASE_NAME}"
    VERBATIM)
add_custom_target(release ALL DEPENDS ${QUORBEL_RELEASE_ZIP})
