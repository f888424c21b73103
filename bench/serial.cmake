# Serial component throughput over a pseudo-terminal, beside a plain read/write loop.
add_executable(bench_serial ${CMAKE_CURRENT_LIST_DIR}/SerialBench.cpp)
zarvo_target_options(bench_serial)
target_link_libraries(bench_serial PRIVATE zarvo_link Qt6::Core)
