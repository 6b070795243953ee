# Palettes and presentation: a short fuzz run of the ".map" reader and the check that the
# shipped palettes are exactly what data/make_palettes.py makes.

# libFuzzer adds what it finds to the first corpus folder: give it one in the build tree so
# that the committed seeds stay as they are.
set(PALETTE_FUZZ_FINDINGS ${CMAKE_BINARY_DIR}/fuzz_findings/palette_file)
file(MAKE_DIRECTORY ${PALETTE_FUZZ_FINDINGS})
add_test(NAME fuzz.palette_file
         COMMAND ${QUORBEL_FUZZ_DIR}/fuzz/fuzz_palette_file -runs=20000 -seed=1
                 ${PALETTE_FUZZ_FINDINGS} ${CMAKE_SOURCE_DIR}/fuzz/corpus/palette_file)
set_tests_properties(fuzz.palette_file PROPERTIES LABELS fuzz)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME data.palettes_regenerate
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/data/make_palettes.py
                 --check ${CMAKE_SOURCE_DIR}/data/maps)
set_tests_properties(data.palettes_regenerate PROPERTIES LABELS data)
