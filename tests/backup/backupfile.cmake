# The backup file: building, the atomic write, reading, filing, Save and Load with a fake
# main window, the round trip through a file and the corpus.
file(GLOB backupfile_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/BackupFile*.cpp)
zarvo_test(test_backup_file ${backupfile_test_sources})
target_link_libraries(test_backup_file PRIVATE zarvo_backup zarvo_testsupport zarvo_testmain_gui)
# The shared corpus lies beside the checkout, when it is there at all.
target_compile_definitions(test_backup_file PRIVATE
                           ZARVO_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus")
