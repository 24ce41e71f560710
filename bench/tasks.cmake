# worker_bench: the conversion worker against direct runs of the same
# programs (overhead ratio, idle CPU, stop latency, queue throughput).
# Run it through bench/worker_bench.sh.
add_executable(worker_bench ${CMAKE_CURRENT_LIST_DIR}/worker_bench.cpp)
target_link_libraries(worker_bench PRIVATE quillfer_engine qf_common)
