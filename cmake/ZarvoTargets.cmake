# Per-target build settings: warnings (as errors when ZARVO_WERROR is on) and the
# sanitizers. Every target of the project calls zarvo_target_options(); nothing edits
# the global flags.

function(zarvo_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(ZARVO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(ZARVO_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    # GCC 12 with the sanitizers at -O2 reports "may be used uninitialized" inside the
    # standard library's std::function and <regex>; those are not ours to act on.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
  endif()
endfunction()

# A library of the project: static, its folder on the include path of its users.
function(zarvo_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  zarvo_target_options(${target})
endfunction()

# A GoogleTest executable registered with CTest. Tests are listed when CTest runs
# (PRE_TEST), not at build time, so a sanitizer or GUI binary is never started by the build.
function(zarvo_test target)
  add_executable(${target} ${ARGN})
  zarvo_target_options(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock)
  # GCC 12 at -O3 reports false -Wrestrict overlaps inside std::string when the tests
  # build texts from literals and numbers (GCC bug 105329); only the tests do that in
  # inlined loops, so only they are spared.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
