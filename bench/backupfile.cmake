# Save and Load of a 5,000-entry backup (the load time is what the user waits for), and
# zarvo-export's export of it.
add_executable(bench_backup_file ${CMAKE_CURRENT_LIST_DIR}/BackupFileBench.cpp)
zarvo_target_options(bench_backup_file)
target_link_libraries(bench_backup_file PRIVATE zarvo_backup zarvo_export_lib benchmark::benchmark)
