# The host's portable code (WAV reading, the audio blocks, the demo track, the command line) is
# compiled into the native unit tests as well; the Windows host links the same files.
target_sources(quorbel_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/host/audio.cpp
    ${CMAKE_SOURCE_DIR}/host/options.cpp)
target_include_directories(quorbel_tests PRIVATE ${CMAKE_SOURCE_DIR}/host)

# A short fuzz run of the WAV reader (built by the fuzz preset).
add_test(NAME fuzz.wav
    # New finds go to a folder of the build, never into the committed corpus.
    COMMAND sh -c "mkdir -p \"$1\" && exec \"$0\" -runs=20000 -seed=1 \"$1\" \"$2\""
            ${QUORBEL_FUZZ_DIR}/fuzz/fuzz_wav ${CMAKE_BINARY_DIR}/fuzz_work/wav
            ${CMAKE_SOURCE_DIR}/fuzz/corpus/wav)
set_tests_properties(fuzz.wav PROPERTIES LABELS fuzz TIMEOUT 120)
