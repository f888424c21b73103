# The vObject parser over arbitrary text: the seeds written for it, and the inputs that
# once made it fail, kept so that they are replayed for good.
zarvo_fuzz_target(fuzz_parser
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParserFuzz.cpp
  LIBS zarvo_entries
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/parser ${CMAKE_CURRENT_LIST_DIR}/regressions/parser)
