# The backup file: building, the atomic write, reading, filing, Save and Load with a fake
# main window, the round trip through a file and the corpus.
zarvo_test(test_backup_file
  ${CMAKE_CURRENT_LIST_DIR}/BackupFileTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BackupFileHostTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BackupFileRoundTripTests.cpp)
target_link_libraries(test_backup_file PRIVATE zarvo_backup zarvo_testsupport zarvo_testmain_gui)
# The shared corpus lies beside the checkout, when it is there at all.
target_compile_definitions(test_backup_file PRIVATE
                           ZARVO_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus")
