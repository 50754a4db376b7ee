# Boots on full file systems: the script mounts tiny tmpfs file systems in a
# mount namespace of its own and reports itself skipped where it may not.
add_test(NAME FullDisk.FailedWritesAreReportedAndKeepTheOldFiles
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/full_disk.py --kickstand $<TARGET_FILE:kickstand>)
set_tests_properties(FullDisk.FailedWritesAreReportedAndKeepTheOldFiles PROPERTIES
  LABELS driver SKIP_RETURN_CODE 77 TIMEOUT 120)
