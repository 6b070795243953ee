# Pictures and song text: short fuzz runs of reading a picture for the frame and of taking a
# player title apart. New inputs go to folders in the build tree (given first), so the
# committed seed corpora stay as they are.
foreach(target picture song_title)
    set(finds ${CMAKE_BINARY_DIR}/fuzz_finds/${target})
    file(MAKE_DIRECTORY ${finds})
    set(runs 200000)
    set(max_len 1100)
    if(target STREQUAL "picture")
        # Every input is a file written and read back: fewer runs in the same time.
        set(runs 12000)
        set(max_len 4096)
    endif()
    add_test(NAME fuzz.${target}
             COMMAND ${QUORBEL_FUZZ_DIR}/fuzz/fuzz_${target} -runs=${runs} -seed=1
                     -max_len=${max_len} ${finds} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
    set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 120)
endforeach()
