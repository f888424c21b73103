# The vObject parser: frame, vCard and vCalendar branches, text helpers, the real-world
# corpus (skipped when ../shared is absent) and the fuzz regressions.
zarvo_test(test_entries_parser
  ${CMAKE_CURRENT_LIST_DIR}/ParserTestSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserFrameTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserVCardTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserVCalendarTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserCorpusTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParserRoundTripTest.cpp
)
target_link_libraries(test_entries_parser PRIVATE zarvo_entries zarvo_testsupport zarvo_testmain_core)
target_compile_definitions(test_entries_parser PRIVATE
  ZARVO_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
  ZARVO_FUZZ_DIR="${PROJECT_SOURCE_DIR}/fuzz")
