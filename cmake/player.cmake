# The player folder in the build tree, build/win32/player/, laid out as a user's player:
#   host.exe, gbm.dll (beside the program and beside the plug-in), Plugins/vis_quorbel.dll,
#   maps/, objs/, pics/ copied from data/ when they exist, and an empty tabs/.
# The custom target `player` is part of ALL and copies again whenever an input changes.
set(QUORBEL_PLAYER_DIR ${CMAKE_BINARY_DIR}/player)

set(player_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORBEL_PLAYER_DIR}/Plugins
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORBEL_PLAYER_DIR}/tabs
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:host> ${QUORBEL_PLAYER_DIR}/)
set(player_depends host)
set(player_files ${QUORBEL_PLAYER_DIR}/host.exe)

if(TARGET vis_quorbel)
    list(APPEND player_commands
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:vis_quorbel>
                ${QUORBEL_PLAYER_DIR}/Plugins/vis_quorbel.dll)
    list(APPEND player_depends vis_quorbel)
    list(APPEND player_files ${QUORBEL_PLAYER_DIR}/Plugins/vis_quorbel.dll)
endif()
if(TARGET gbm)
    list(APPEND player_commands
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:gbm> ${QUORBEL_PLAYER_DIR}/gbm.dll
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:gbm>
                ${QUORBEL_PLAYER_DIR}/Plugins/gbm.dll)
    list(APPEND player_depends gbm)
    list(APPEND player_files ${QUORBEL_PLAYER_DIR}/gbm.dll ${QUORBEL_PLAYER_DIR}/Plugins/gbm.dll)
endif()

set(player_outputs ${player_files})

# Data folders: the copy is redone when any file in them changes or a file is added or removed
# (the globs are re-checked at every build; a data folder that appears reconfigures).
file(GLOB player_data_entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
foreach(folder maps objs pics)
    set(source ${CMAKE_SOURCE_DIR}/data/${folder})
    if(IS_DIRECTORY ${source})
        file(GLOB_RECURSE folder_files CONFIGURE_DEPENDS ${source}/*)
        list(LENGTH folder_files folder_count)
        # Names such as "$.obj" or ";.obj" cannot stand in a build rule (nor in a CMake list);
        # the copy still takes every file.
        list(FILTER folder_files INCLUDE REGEX "/[A-Za-z0-9_-]+\\.[A-Za-z]+$")
        set(stamp ${CMAKE_BINARY_DIR}/player-${folder}.stamp)
        add_custom_command(OUTPUT ${stamp}
            COMMAND ${CMAKE_COMMAND} -E echo "data/${folder}: ${folder_count} files"
            COMMAND ${CMAKE_COMMAND} -E remove_directory ${QUORBEL_PLAYER_DIR}/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_directory ${source} ${QUORBEL_PLAYER_DIR}/${folder}
            COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
            DEPENDS ${folder_files}
            COMMENT "Copying data/${folder} into the player folder"
            VERBATIM)
        list(APPEND player_outputs ${stamp})
    endif()
endforeach()

add_custom_command(OUTPUT ${player_files}
    ${player_commands}
    DEPENDS ${player_depends}
    COMMENT "Laying out the player folder"
    VERBATIM)
add_custom_target(player ALL DEPENDS ${player_outputs})
