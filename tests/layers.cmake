# The layers of the tree: no include runs upward and the portable core includes no Windows
# header (tests/check_layers.py lists the folders and their order). The second test shows that
# the check finds such includes.
add_test(NAME layers.check
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_layers.py ${CMAKE_SOURCE_DIR})
add_test(NAME layers.check_finds_faults
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_layers.py --self-test)
set_tests_properties(layers.check layers.check_finds_faults PROPERTIES LABELS native)
