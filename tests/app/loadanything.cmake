# Load of anything a file can hold over the real main window: huge lines, NUL bytes,
# garbage, files at and above the size limit.
zarvo_test(test_app_loadanything ${CMAKE_CURRENT_LIST_DIR}/LoadAnythingTests.cpp)
target_link_libraries(test_app_loadanything PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui)
