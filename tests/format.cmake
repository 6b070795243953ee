# The code follows .clang-format: a test fails when any C/C++ file of the repository would be
# reformatted.
find_program(QUORBEL_CLANG_FORMAT clang-format)
find_program(QUORBEL_GIT git)
if(QUORBEL_CLANG_FORMAT AND QUORBEL_GIT AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
    add_test(NAME format.check
        COMMAND sh -c "\"$1\" ls-files -z '*.cpp' '*.h' '*.inc' | xargs -0 \"$0\" --dry-run --Werror"
                ${QUORBEL_CLANG_FORMAT} ${QUORBEL_GIT}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
    set_tests_properties(format.check PROPERTIES LABELS native)
endif()
