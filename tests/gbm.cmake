# gbm: regenerated pictures, the interoperability tests against giflib and the short fuzz run.

# The committed pictures are exactly what make_pictures makes.
add_test(NAME data.pictures_regenerate
    COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:make_pictures> -DSOURCE=${CMAKE_SOURCE_DIR}
            -DSCRATCH=${CMAKE_BINARY_DIR}/pictures_regenerated
            -P ${CMAKE_SOURCE_DIR}/data/compare_pictures.cmake)
set_tests_properties(data.pictures_regenerate PROPERTIES LABELS native)
