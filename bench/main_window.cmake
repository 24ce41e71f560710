# main_window_bench: the program window's costs in process (the UI thread's
# longest stall while a conversion feeds the list; a drop of many files
# against probing them with the engine alone). minimal_window is the
# baseline of the start-up figure that bench/main_window_bench.sh prints.
if(TARGET quillfer_ui)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(main_window_bench ${CMAKE_CURRENT_LIST_DIR}/main_window_bench.cpp)
  target_link_libraries(main_window_bench PRIVATE quillfer_ui qf_common)
  add_dependencies(main_window_bench program_dir_links)
  # add_files_bench: the UI thread's longest stall while many files are added.
  add_executable(add_files_bench ${CMAKE_CURRENT_LIST_DIR}/add_files_bench.cpp)
  target_link_libraries(add_files_bench PRIVATE quillfer_ui qf_common)
  add_dependencies(add_files_bench program_dir_links)
  add_executable(minimal_window ${CMAKE_CURRENT_LIST_DIR}/minimal_window.cpp)
  target_link_libraries(minimal_window PRIVATE Qt6::Widgets qf_common)
endif()
