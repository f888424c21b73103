# 100,000 lines appended to the main window's log pane, hidden and shown, offscreen: the
# total time and the cost per line at the start and at the end.
add_executable(bench_logpane ${CMAKE_CURRENT_LIST_DIR}/LogPaneBench.cpp)
zarvo_target_options(bench_logpane)
target_link_libraries(bench_logpane PRIVATE zarvo_ui)
