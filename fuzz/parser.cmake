# The vObject parser over arbitrary text: the seeds written for it, the inputs that once
# made it fail (kept so that they are replayed for good), and the shared real-world
# vCard and vCalendar files when they are beside the repository.
set(zarvo_parser_corpus ${CMAKE_CURRENT_LIST_DIR}/corpus/parser ${CMAKE_CURRENT_LIST_DIR}/regressions/parser)
if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/../shared/corpus)
  list(APPEND zarvo_parser_corpus ${PROJECT_SOURCE_DIR}/../shared/corpus)
endif()
zarvo_fuzz_target(fuzz_parser
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParserFuzz.cpp
  LIBS zarvo_entries
  CORPUS ${zarvo_parser_corpus})
