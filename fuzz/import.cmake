# The importer over arbitrary files: vCard, iCalendar, vCalendar and backup seeds, and the
# inputs that once made it fail.
zarvo_fuzz_target(fuzz_import
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ImportFuzz.cpp
  LIBS zarvo_export_lib zarvo_backup zarvo_entries
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/import ${CMAKE_CURRENT_LIST_DIR}/regressions/import)
