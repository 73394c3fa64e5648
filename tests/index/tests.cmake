# Tests of index/: the local copy against real servers, with a stand-in collation. A search reads
# half its blocks in a thread of its own.
kestrel_test(index_local_index_test THREADED SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/index/LocalIndexTest.cpp
  LIBS PkgConfig::SQLITE3)
