# Palettes and presentation: a short fuzz run of the ".map" reader and the check that the
# shipped palettes are exactly what data/make_palettes.py makes.
quorbel_fuzz_run(palette_file)

find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME data.palettes_regenerate
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/data/make_palettes.py
                 --check ${CMAKE_SOURCE_DIR}/data/maps)
set_tests_properties(data.palettes_regenerate PROPERTIES LABELS data)
