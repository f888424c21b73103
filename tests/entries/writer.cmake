# The vObject writers: line forms, escaping, folding and (with the parser) the round trip.
zarvo_test(test_entries_writer ${CMAKE_CURRENT_LIST_DIR}/WriterTests.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/WriterRoundTripTests.cpp)
target_link_libraries(test_entries_writer PRIVATE zarvo_entries zarvo_testsupport zarvo_testmain_core)
