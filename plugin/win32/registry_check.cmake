# registry_check.exe: the registry key class alone, driven from its command line, for the Wine
# tests of the registry store (tests/wine/test_registry.py). Built with the test hooks, so that
# QUORBEL_TEST_DENY_HKLM and QUORBEL_TEST_DENY_REGISTRY make keys fail to open.
add_executable(registry_check ${CMAKE_SOURCE_DIR}/tests/programs/registry_check.cpp
                              ${CMAKE_CURRENT_SOURCE_DIR}/keymng.cpp)
target_compile_definitions(registry_check PRIVATE QUORBEL_TEST_HOOKS)
target_compile_options(registry_check PRIVATE ${QUORBEL_WARNINGS})
# The fault guard and the error log come from the core.
target_link_libraries(registry_check PRIVATE quorbel_core advapi32)
target_link_options(registry_check PRIVATE -static -static-libgcc -static-libstdc++)
