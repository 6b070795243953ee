# Small native programs that tests of other kinds (Wine tests) call.
add_executable(write_builtin_tables ${CMAKE_CURRENT_SOURCE_DIR}/programs/write_builtin_tables.cpp)
target_link_libraries(write_builtin_tables PRIVATE quorbel_core)
