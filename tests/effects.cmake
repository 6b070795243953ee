# Effects: a short fuzz run of the letter-object reader, and the check that our letter
# objects are exactly what data/make_objects.py makes.
quorbel_fuzz_run(letter_object)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME data.letter_objects
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/data/make_objects.py --check
                 ${CMAKE_SOURCE_DIR}/data/objs)
set_tests_properties(data.letter_objects PROPERTIES LABELS data)
