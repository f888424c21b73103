# The read and the restore end to end: the real windows offscreen, the simulated phone.
find_package(Qt6 REQUIRED COMPONENTS Test)
zarvo_test(test_backup_readrestore ${CMAKE_CURRENT_LIST_DIR}/ReadRestoreTests.cpp)
target_link_libraries(test_backup_readrestore PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui Qt6::Test)
