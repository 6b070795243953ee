# The host's portable code (WAV reading, the audio blocks, the demo track, the command line) is
# compiled into the native unit tests as well; the Windows host links the same files.
target_sources(quorbel_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/host/audio.cpp
    ${CMAKE_SOURCE_DIR}/host/options.cpp)
target_include_directories(quorbel_tests PRIVATE ${CMAKE_SOURCE_DIR}/host)

# A short fuzz run of the WAV reader (built by the fuzz preset). libFuzzer adds the inputs it
# finds to the first corpus folder: a scratch one in the build tree, so that the committed seed
# corpus stays as it is.
set(QUORBEL_WAV_SCRATCH_CORPUS ${CMAKE_BINARY_DIR}/fuzz-corpus/wav)
file(MAKE_DIRECTORY ${QUORBEL_WAV_SCRATCH_CORPUS})
add_test(NAME fuzz.wav
    COMMAND ${QUORBEL_FUZZ_DIR}/fuzz/fuzz_wav -runs=20000 -seed=1 ${QUORBEL_WAV_SCRATCH_CORPUS}
            ${CMAKE_SOURCE_DIR}/fuzz/corpus/wav)
set_tests_properties(fuzz.wav PROPERTIES LABELS fuzz TIMEOUT 120)
