target_sources(kestrel_test_support PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/RecordingShell.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TempDir.cpp)
