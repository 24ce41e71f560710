# build_commands_bench: nanoseconds per buildCommands over every built-in model
# and format, with a string-copy baseline from the same run.
add_executable(build_commands_bench ${CMAKE_CURRENT_LIST_DIR}/build_commands_bench.cpp)
target_link_libraries(build_commands_bench PRIVATE quillfer_engine qf_common)
