# player_bench: how much the engine adds to the player's own start-up, and
# the longest call it makes the UI thread wait for.
add_executable(player_bench ${CMAKE_CURRENT_LIST_DIR}/player_bench.cpp)
target_link_libraries(player_bench PRIVATE quillfer_engine qf_common)
target_compile_definitions(player_bench PRIVATE QF_PROGRAM_DIR="${QF_PROGRAM_DIR}")
add_dependencies(player_bench program_dir_links)
