# The vObject writers: line forms, escaping, folding and (with the parser) the round trip.
file(GLOB writer_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Writer*.cpp)
zarvo_test(test_entries_writer ${writer_test_sources})
target_link_libraries(test_entries_writer PRIVATE zarvo_entries zarvo_testsupport zarvo_testmain_core)
