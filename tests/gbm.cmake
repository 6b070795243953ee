# gbm: regenerated pictures, the interoperability tests against giflib and the short fuzz run.

# The committed pictures are exactly what make_pictures makes.
add_test(NAME data.pictures_regenerate
    COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:make_pictures> -DSOURCE=${CMAKE_SOURCE_DIR}
            -DSCRATCH=${CMAKE_BINARY_DIR}/pictures_regenerated
            -P ${CMAKE_SOURCE_DIR}/data/compare_pictures.cmake)
set_tests_properties(data.pictures_regenerate PROPERTIES LABELS native)

# Interoperability with giflib (Debian's libgif-dev), which only these tests use.
find_path(GIFLIB_INCLUDE_DIR gif_lib.h)
find_library(GIFLIB_LIBRARY gif)
if(GIFLIB_INCLUDE_DIR AND GIFLIB_LIBRARY)
    add_executable(gbm_interop_tests ${CMAKE_CURRENT_SOURCE_DIR}/interop/gbm_interop.cpp)
    target_compile_options(gbm_interop_tests PRIVATE ${QUORBEL_WARNINGS})
    target_include_directories(gbm_interop_tests PRIVATE ${GIFLIB_INCLUDE_DIR})
    target_link_libraries(gbm_interop_tests PRIVATE gbm ${GIFLIB_LIBRARY} GTest::gtest GTest::gtest_main)
    target_compile_definitions(gbm_interop_tests PRIVATE GBM_INTEROP_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(gbm_interop_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES ${QUORBEL_UNIT_TEST_PROPERTIES})
else()
    # Missing giflib must not pass unnoticed: install it with apt-get install -y libgif-dev.
    message(WARNING "giflib (libgif-dev) not found: the gbm interoperability tests cannot run")
    add_test(NAME gbm.interop_giflib_missing COMMAND ${CMAKE_COMMAND} -E false)
    set_tests_properties(gbm.interop_giflib_missing PROPERTIES LABELS native)
endif()

# A short fuzz run of the GIF reader.
quorbel_fuzz_run(gbm RUNS 200000 MAX_LEN 4096)
