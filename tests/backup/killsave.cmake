# Save against kills and leftovers: a save killed with SIGKILL at random moments, in an
# ordinary folder and as on a file system without unnamed temporary files; what the
# atomic replacement keeps of a target and which leftovers it clears.
zarvo_test(test_backup_killsave ${CMAKE_CURRENT_LIST_DIR}/KillSaveTests.cpp ${CMAKE_CURRENT_LIST_DIR}/AtomicFileTests.cpp)
target_link_libraries(test_backup_killsave PRIVATE zarvo_backup zarvo_testmain_core)
