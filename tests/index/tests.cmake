# Tests of index/: the local copy against real servers, with a stand-in collation.
kestrel_test(index_local_index_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/index/LocalIndexTest.cpp
  LIBS PkgConfig::SQLITE3)
