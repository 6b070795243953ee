# Small native programs that tests of other kinds (Wine tests) call.
add_executable(write_builtin_tables ${CMAKE_CURRENT_SOURCE_DIR}/programs/write_builtin_tables.cpp)
target_link_libraries(write_builtin_tables PRIVATE quorbel_core)

# The soak of the frame loop (tests/programs/soak.cpp): a short form in every native build,
# the sanitizer builds included; `soak` alone runs the full 100,000 frames.
add_executable(soak ${CMAKE_CURRENT_SOURCE_DIR}/programs/soak.cpp)
target_compile_options(soak PRIVATE ${QUORBEL_WARNINGS})
target_include_directories(soak PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(soak PRIVATE QUORBEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(soak PRIVATE quorbel_core)
add_test(NAME soak.short COMMAND soak 3000 --folder ${CMAKE_BINARY_DIR}/soak_short)
set_tests_properties(soak.short PROPERTIES LABELS "native;soak" TIMEOUT 900)
