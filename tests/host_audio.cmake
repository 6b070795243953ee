# The host's portable code (WAV reading, the audio blocks, the demo track, the command line) is
# compiled into the native unit tests as well; the Windows host links the same files.
target_sources(quorbel_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/host/audio.cpp
    ${CMAKE_SOURCE_DIR}/host/options.cpp)
target_include_directories(quorbel_tests PRIVATE ${CMAKE_SOURCE_DIR}/host)

# A short fuzz run of the WAV reader.
quorbel_fuzz_run(wav)
