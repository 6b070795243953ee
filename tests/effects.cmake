# Effects: a short fuzz run of the letter-object reader, and the check that our letter
# objects are exactly what data/make_objects.py makes.
# New inputs the run finds go to a folder in the build tree (the first folder given), so the
# committed seed corpus stays as it is.
set(LETTER_OBJECT_FINDS ${CMAKE_BINARY_DIR}/fuzz_finds/letter_object)
file(MAKE_DIRECTORY ${LETTER_OBJECT_FINDS})
add_test(NAME fuzz.letter_object
         COMMAND ${QUORBEL_FUZZ_DIR}/fuzz/fuzz_letter_object -runs=20000 -seed=1
                 ${LETTER_OBJECT_FINDS} ${CMAKE_SOURCE_DIR}/fuzz/corpus/letter_object)
set_tests_properties(fuzz.letter_object PROPERTIES LABELS fuzz)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME data.letter_objects
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/data/make_objects.py --check
                 ${CMAKE_SOURCE_DIR}/data/objs)
set_tests_properties(data.letter_objects PROPERTIES LABELS data)
