# The host's portable command line is compiled into the native unit tests as well; the Windows
# host links the same file. The audio (WAV reading, the audio blocks, the demo track) is the
# core's media/audio, which the host builds from too.
target_sources(quorbel_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/host/options.cpp)
target_include_directories(quorbel_tests PRIVATE ${CMAKE_SOURCE_DIR}/host)

# A short fuzz run of the WAV reader.
quorbel_fuzz_run(wav)
