# The vObject parser's speed on generated backups (5,000 entries; 10 MB), beside
# libical's vCard/vCalendar parser on the same text when libicalvcal is installed.
add_executable(bench_parser ${CMAKE_CURRENT_LIST_DIR}/ParserBench.cpp)
zarvo_target_options(bench_parser)
target_link_libraries(bench_parser PRIVATE zarvo_entries)

find_path(ZARVO_ICALVCAL_INCLUDE_DIR libical/vcc.h)
find_library(ZARVO_ICALVCAL_LIBRARY icalvcal)
find_library(ZARVO_ICAL_LIBRARY ical)
if(ZARVO_ICALVCAL_INCLUDE_DIR AND ZARVO_ICALVCAL_LIBRARY AND ZARVO_ICAL_LIBRARY)
  target_compile_definitions(bench_parser PRIVATE ZARVO_HAVE_ICALVCAL=1)
  target_include_directories(bench_parser SYSTEM PRIVATE ${ZARVO_ICALVCAL_INCLUDE_DIR})
  target_link_libraries(bench_parser PRIVATE ${ZARVO_ICALVCAL_LIBRARY} ${ZARVO_ICAL_LIBRARY})
else()
  message(STATUS "libicalvcal not found: bench_parser runs without the comparison")
endif()
