# Tests of search/ (kestrel_test).
kestrel_test(search_worker_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/SearchWorkerTest.cpp THREADED)
