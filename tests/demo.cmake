# scripts/demo.sh stops at a failed step with its message and a non-zero status
# (tests/check_demo.py, through the script's test switch QUORBEL_DEMO_FAIL_STEP). Not in the
# sanitizer builds: the script is the same there.
if(QUORBEL_SANITIZE)
    return()
endif()
add_test(NAME demo.stops_at_a_failed_step
    COMMAND ${Python3_EXECUTABLE} -m unittest -v check_demo
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests)
set_tests_properties(demo.stops_at_a_failed_step PROPERTIES
    LABELS "native;scripts" TIMEOUT 300 ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
