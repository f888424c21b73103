# Load of arbitrary files, up to the restore, and Save and Load of what it filed: its
# seeds, the inputs that once made it fail, and the shared real-world vCard and
# vCalendar files when they are beside the repository.
set(zarvo_load_corpus ${CMAKE_CURRENT_LIST_DIR}/corpus/load ${CMAKE_CURRENT_LIST_DIR}/regressions/load)
if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/../shared/corpus)
  list(APPEND zarvo_load_corpus ${PROJECT_SOURCE_DIR}/../shared/corpus)
endif()
zarvo_fuzz_target(fuzz_load
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LoadFuzz.cpp
  LIBS zarvo_backup zarvo_entries
  CORPUS ${zarvo_load_corpus})
