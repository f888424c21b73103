# Many operations in a row in one process: memory, threads and descriptors over time.
zarvo_test(test_app_soak ${CMAKE_CURRENT_LIST_DIR}/SoakTests.cpp)
target_link_libraries(test_app_soak PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui)
# Fifty reads and ten restores take minutes (every exchange waits 100 ms at least): the
# test's time limit is raised once CTest has discovered it.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/soak_timeout.cmake
     "set_tests_properties(Soak.FiftyReadsAndTenRestoresInARow PROPERTIES TIMEOUT 900)\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/soak_timeout.cmake)
