# Tests of index/ (kestrel_test): the compiled mask against real servers' answers, and the local
# copy against real servers. A search reads half its blocks in a thread of its own.
kestrel_test(index_mask_test SERVERS SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/index/MaskOracleTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/index/CollationTest.cpp)
kestrel_test(index_local_index_test THREADED SERVERS SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/index/LocalIndexTest.cpp
  LIBS PkgConfig::SQLITE3)
