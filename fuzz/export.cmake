# zarvo-export over arbitrary backup files: its seeds and the inputs that once made it fail.
zarvo_fuzz_target(fuzz_export
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExportFuzz.cpp
  LIBS zarvo_export_lib zarvo_backup zarvo_entries
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/export ${CMAKE_CURRENT_LIST_DIR}/regressions/export)
