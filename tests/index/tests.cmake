# Tests of index/ (kestrel_test).
kestrel_test(index_mask_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/index/MaskOracleTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/index/CollationTest.cpp)
