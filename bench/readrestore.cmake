# A read and a restore of a generated phone through the real windows, offscreen, over a
# pseudo-terminal to the simulated phone paced at 115200 bps: wall time against the
# protocol floor, and the program's processor time. The phone and the floor are shared
# with bench_cli (cli.cmake).
add_library(zarvo_benchphone STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchPhone.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchPhone.h)
target_include_directories(zarvo_benchphone PUBLIC ${CMAKE_CURRENT_LIST_DIR})
zarvo_target_options(zarvo_benchphone)
target_link_libraries(zarvo_benchphone PUBLIC zarvo_backup zarvo_sim zarvo_testsupport)

add_executable(bench_readrestore ${CMAKE_CURRENT_LIST_DIR}/ReadRestoreBench.cpp)
zarvo_target_options(bench_readrestore)
target_link_libraries(bench_readrestore PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_benchphone)
