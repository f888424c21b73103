# zarvo_fuzz_target(<name> SOURCES <files...> LIBS <libraries...> [CORPUS <dirs...>])
#
# With clang the sources, which define LLVMFuzzerTestOneInput, become a libFuzzer binary,
# and the project libraries in LIBS get coverage instrumentation so that the fuzzer sees
# their branches. With any other compiler they are linked with FuzzReplayMain.cpp into a
# driver that runs each file (or every file of each folder) named on its command line.
#
# CORPUS names the folders of seeds and regression inputs. When tests are enabled a CTest
# test runs them: the replay driver replays them all, the libFuzzer binary fuzzes from them
# for a bounded number of runs (new inputs go to a folder in the build tree, never into
# the source tree). Each target and its folders are also listed in fuzz-targets.txt of
# the build tree, one line each, for fuzz/run.sh.
function(zarvo_fuzz_target name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBS;CORPUS")
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${name} ${arg_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    foreach(lib IN LISTS arg_LIBS)
      get_target_property(imported ${lib} IMPORTED)
      if(NOT imported)
        target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
      endif()
    endforeach()
  else()
    add_executable(${name} ${arg_SOURCES} ${ZARVO_FUZZ_SOURCE_DIR}/FuzzReplayMain.cpp)
  endif()
  zarvo_target_options(${name})
  target_link_libraries(${name} PRIVATE ${arg_LIBS})

  set(found ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${found})
  string(JOIN " " dirs ${arg_CORPUS})
  file(APPEND ${ZARVO_FUZZ_TARGET_LIST} "${CMAKE_CURRENT_BINARY_DIR}/${name} ${found} ${dirs}\n")

  if(ZARVO_BUILD_TESTS AND arg_CORPUS)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      add_test(NAME ${name}_short
               COMMAND ${name} -runs=${ZARVO_FUZZ_TEST_RUNS} -seed=1
                       -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}- ${found} ${arg_CORPUS})
    else()
      add_test(NAME ${name}_replay COMMAND ${name} ${arg_CORPUS})
    endif()
  endif()
endfunction()

set(ZARVO_FUZZ_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZARVO_FUZZ_TARGET_LIST ${CMAKE_BINARY_DIR}/fuzz-targets.txt)
file(WRITE ${ZARVO_FUZZ_TARGET_LIST} "")
set(ZARVO_FUZZ_TEST_RUNS 100000 CACHE STRING "Runs of each libFuzzer target in its CTest test")
