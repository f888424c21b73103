# The read and the restore end to end: the real windows offscreen, the simulated phone.
find_package(Qt6 REQUIRED COMPONENTS Test)
zarvo_test(test_app_readrestore ${CMAKE_CURRENT_LIST_DIR}/ReadRestoreTests.cpp)
target_link_libraries(test_app_readrestore PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui Qt6::Test)
