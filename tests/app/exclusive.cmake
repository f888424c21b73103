# Only the chosen device, held alone; files written only where the user said.
zarvo_test(test_app_exclusive ${CMAKE_CURRENT_LIST_DIR}/ExclusiveAccessTests.cpp)
target_link_libraries(test_app_exclusive PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui)
