# Finding the phone's port: the offer to link a port name, the hints of every failure and
# the port list's tooltips, over the real windows, a fake device tree and the simulator.
find_package(Qt6 REQUIRED COMPONENTS Test)
zarvo_test(test_app_portfinding ${CMAKE_CURRENT_LIST_DIR}/PortFindingTests.cpp)
target_link_libraries(test_app_portfinding PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui Qt6::Test)
