# player_view_bench: the player view under a real X server (run it with
# bench/player_view_bench.sh): double click to first picture against the
# player alone, and the UI thread's longest stall while a file plays.
if(TARGET quillfer_ui)
  add_executable(player_view_bench ${CMAKE_CURRENT_LIST_DIR}/player_view_bench.cpp)
  target_link_libraries(player_view_bench PRIVATE quillfer_ui qf_common)
  target_compile_definitions(player_view_bench PRIVATE QF_PROGRAM_DIR="${QF_PROGRAM_DIR}")
  add_dependencies(player_view_bench program_dir_links)
endif()
