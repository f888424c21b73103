# The binary ring tone record, decoded from arbitrary bytes and built from arbitrary
# names, pairs and data texts.
zarvo_fuzz_target(fuzz_ringtone
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RingToneFuzz.cpp
  LIBS zarvo_backup
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/ringtone ${CMAKE_CURRENT_LIST_DIR}/regressions/ringtone)
