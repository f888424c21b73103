# The answer assembly of the AT exchange over arbitrary pieces: its seeds and the inputs
# that once made it fail.
zarvo_fuzz_target(fuzz_answer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AnswerFuzz.cpp
  LIBS zarvo_link
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/answer ${CMAKE_CURRENT_LIST_DIR}/regressions/answer)
