# The fault matrix: every fault of the phone, the line and the port, during a read and
# during a restore, over the real windows and the simulated phone; each row a test.
find_package(Qt6 REQUIRED COMPONENTS Test)

# A second ZARVO, for the rows where another program or another user wants the port.
add_executable(faultmatrix_zarvo ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixZarvo.cpp)
zarvo_target_options(faultmatrix_zarvo)
target_link_libraries(faultmatrix_zarvo PRIVATE zarvo_ui zarvo_sim zarvo_testsupport)

# The step that prints the collected table after a ctest run.
add_executable(faultmatrix_collect ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixCollect.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixTable.cpp)
zarvo_target_options(faultmatrix_collect)

set(faultmatrix_rows ${CMAKE_CURRENT_BINARY_DIR}/faultmatrix-rows)
zarvo_test(test_app_faultmatrix
  ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixReadTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixRestoreTests.cpp)
target_link_libraries(test_app_faultmatrix PRIVATE zarvo_ui zarvo_sim zarvo_testsupport zarvo_testmain_gui Qt6::Test)
target_compile_definitions(test_app_faultmatrix PRIVATE
  FAULTMATRIX_ZARVO="$<TARGET_FILE:faultmatrix_zarvo>"
  FAULTMATRIX_ROWS_DIR="${faultmatrix_rows}")
add_dependencies(test_app_faultmatrix faultmatrix_zarvo faultmatrix_collect)

# The rows run side by side, each in a process of its own, and leave their line in the
# rows folder: a step before them empties it, a step after them prints the whole table.
# The rows' test names are known only when ctest lists them, so the fixture is set on
# them from a file that ctest reads after the listing.
add_test(NAME faultmatrix_clear COMMAND ${CMAKE_COMMAND} -E rm -rf ${faultmatrix_rows})
set_tests_properties(faultmatrix_clear PROPERTIES FIXTURES_SETUP faultmatrix_rows)
add_test(NAME faultmatrix_table COMMAND faultmatrix_collect ${faultmatrix_rows})
set_tests_properties(faultmatrix_table PROPERTIES FIXTURES_CLEANUP faultmatrix_rows)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/faultmatrix_fixture.cmake
     "if(test_app_faultmatrix_TESTS)\n"
     "  set_tests_properties(\${test_app_faultmatrix_TESTS} PROPERTIES FIXTURES_REQUIRED faultmatrix_rows)\n"
     "endif()\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/faultmatrix_fixture.cmake)
