# The table tools run as processes (tests/test_tools.cpp, inside quorbel_tests), a test build
# of spiralmaker whose seed can be fixed, the Windows tools under Wine, the short fuzz run of
# the table reader and the check of its seed corpus.
if(TARGET spiralmaker AND TARGET hurricanemaker AND TARGET spaceflightmaker)
    # Test build only: honours QUORBEL_SPIRALMAKER_SEED instead of the clock.
    add_executable(spiralmaker_seeded ${CMAKE_SOURCE_DIR}/tools/spiralmaker/spiralmaker.cpp)
    target_compile_definitions(spiralmaker_seeded PRIVATE QUORBEL_TOOL_TEST_BUILD)
    target_compile_options(spiralmaker_seeded PRIVATE ${QUORBEL_WARNINGS})
    target_link_libraries(spiralmaker_seeded PRIVATE quorbel_tool_common)

    add_dependencies(quorbel_tests spiralmaker spiralmaker_seeded hurricanemaker spaceflightmaker)
    target_link_libraries(quorbel_tests PRIVATE quorbel_tool_common)
    target_compile_definitions(quorbel_tests PRIVATE
        QUORBEL_SPIRALMAKER="$<TARGET_FILE:spiralmaker>"
        QUORBEL_SPIRALMAKER_SEEDED="$<TARGET_FILE:spiralmaker_seeded>"
        QUORBEL_HURRICANEMAKER="$<TARGET_FILE:hurricanemaker>"
        QUORBEL_SPACEFLIGHTMAKER="$<TARGET_FILE:spaceflightmaker>")

    # The Windows .exe files under Wine write the native files: on each build that the Wine
    # tests run (skipped while that build has not been built or Wine is missing), and reported
    # as skipped, with the reason, for the 32-bit build where it cannot run. Not in a sanitizer
    # build: that runs the native suite only.
    if(NOT QUORBEL_SANITIZE)
        quorbel_wine_program_test(table_tools "the table tools of the 32-bit build under Wine"
            300 sh ${CMAKE_SOURCE_DIR}/tests/tools_wine.sh <BUILD_DIR>/tools
            $<TARGET_FILE_DIR:spaceflightmaker> ${CMAKE_BINARY_DIR}/wine_tools_<BUILD>)
    endif()
endif()

quorbel_fuzz_run(translation_table)

# The committed seed corpus is exactly what its generator writes.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
    set(QUORBEL_TABLE_CORPUS_CHECK ${CMAKE_BINARY_DIR}/fuzz_work/translation_table_corpus)
    add_test(NAME data.translation_table_corpus
        COMMAND sh -c "rm -rf '${QUORBEL_TABLE_CORPUS_CHECK}' && '${Python3_EXECUTABLE}' '${CMAKE_SOURCE_DIR}/fuzz/make_translation_table_corpus.py' '${QUORBEL_TABLE_CORPUS_CHECK}' && diff -r '${QUORBEL_TABLE_CORPUS_CHECK}' '${CMAKE_SOURCE_DIR}/fuzz/corpus/translation_table'")
    set_tests_properties(data.translation_table_corpus PROPERTIES LABELS data)
endif()
