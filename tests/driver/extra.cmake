# Boots on full file systems: the script mounts tiny tmpfs file systems in a
# mount namespace of its own and reports itself skipped where it may not.
add_test(NAME FullDisk.FailedWritesAreReportedAndKeepTheOldFiles
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/full_disk.py --kickstand $<TARGET_FILE:kickstand>)
set_tests_properties(FullDisk.FailedWritesAreReportedAndKeepTheOldFiles PROPERTIES
  LABELS driver SKIP_RETURN_CODE 77 TIMEOUT 120)

# Whole runs killed, signalled, started together and given files that would
# once hang or blow them up; one CTest test a case. A sanitizer's own memory
# would count in a run's peak.
set(sanitized)
if(KICKSTAND_SANITIZE)
  set(sanitized --sanitized)
endif()
foreach(case SigkillLeavesNoExecutorAndTheNextRunStartsItsOwn SignalsEndTheRunCleanly
        ConcurrentRunsTakeTurns ReplacementsLeaveNoTemporaryFile ReadsAreBounded
        LinksAreFollowed WithoutTheLockTheRunGoesOnUnlocked)
  add_test(NAME RunOwnership.${case}
    COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/run_ownership.py --kickstand $<TARGET_FILE:kickstand>
            --case ${case} ${sanitized})
  set_tests_properties(RunOwnership.${case} PROPERTIES LABELS driver TIMEOUT 120)
endforeach()
