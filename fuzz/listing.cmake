# The decoders of the phone's listing, totals and store answers over arbitrary text.
zarvo_fuzz_target(fuzz_listing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListingFuzz.cpp
  LIBS zarvo_backup
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/listing ${CMAKE_CURRENT_LIST_DIR}/regressions/listing)
