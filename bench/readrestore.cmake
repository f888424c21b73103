# A read and a restore of a generated phone through the real windows, offscreen, over a
# pseudo-terminal to the simulated phone paced at 115200 bps: wall time against the
# protocol floor, and the program's processor time.
add_executable(bench_readrestore ${CMAKE_CURRENT_LIST_DIR}/ReadRestoreBench.cpp)
zarvo_target_options(bench_readrestore)
target_link_libraries(bench_readrestore PRIVATE zarvo_ui zarvo_sim zarvo_testsupport)
