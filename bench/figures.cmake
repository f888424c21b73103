# "cmake --build <dir> --target figures": runs every benchmark of this build and prints
# their figures beside the goals (bench/run --bin). Meaningful in a release build
# without sanitizers; bench/run alone makes one.
add_custom_target(figures
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/run --bin ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS bench_serial bench_parser bench_backup_file bench_readrestore bench_logpane bench_cli
  USES_TERMINAL
  COMMENT "Benchmark figures")
