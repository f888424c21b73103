# The command line's read (zarvo-cli backup) and restore of the benchmark phone: the real
# program spawned against a simulated phone in this process, wall time against the
# protocol floor and the program's processor time.
add_executable(bench_cli ${CMAKE_CURRENT_LIST_DIR}/CliBench.cpp)
zarvo_target_options(bench_cli)
target_link_libraries(bench_cli PRIVATE zarvo_benchphone)
target_compile_definitions(bench_cli PRIVATE ZARVO_CLI_PROGRAM="$<TARGET_FILE:zarvo-cli>")
add_dependencies(bench_cli zarvo-cli)
