target_sources(kestrel_test_support PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TempDir.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/RegistryFixture.cpp)
