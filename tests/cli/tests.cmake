# Tests of cli/ (kestrel_test): kestrel-dupe in this process against real servers, and the real
# programs built for two addresses where nothing listens.
set(KESTREL_DUPE_TEST_PRIMARY "127.0.0.176")
set(KESTREL_DUPE_TEST_BACKUP "127.0.0.177")
set(_unreachable ${CMAKE_CURRENT_BINARY_DIR}/dupe-unreachable)
kestrel_dupe_programs(kestrel_dupe_unreachable kestrel_dupe_unreachable_check ${_unreachable}
  ${KESTREL_DUPE_TEST_PRIMARY} ${KESTREL_DUPE_TEST_BACKUP})
kestrel_test(kestrel_dupe_test SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/cli/DupeCommandTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/cli/DupeProcessTest.cpp)
add_dependencies(kestrel_dupe_test kestrel_dupe_unreachable)
target_compile_definitions(kestrel_dupe_test PRIVATE
  KESTREL_DUPE_BINARY="$<TARGET_FILE:kestrel_dupe_unreachable>"
  KESTREL_DUPE_CHECKER="$<TARGET_FILE:kestrel_dupe_unreachable_check>"
  KESTREL_DUPE_COMPLETION="${CMAKE_SOURCE_DIR}/res/kestrel-dupe.bash"
  TEST_PRIMARY="${KESTREL_DUPE_TEST_PRIMARY}" TEST_BACKUP="${KESTREL_DUPE_TEST_BACKUP}")

# kestrel-dupe with the local copy, the collation a stand-in (tests/index/TestCollation.h).
kestrel_test(cli_local_dupe_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cli/LocalDupeTest.cpp
  LIBS PkgConfig::SQLITE3)
