# Tests of db/ (kestrel_test).
kestrel_test(db_search_request_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/db/SearchRequestTest.cpp)
kestrel_test(db_connection_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/db/DupesConnectionTest.cpp THREADED SERVERS)
kestrel_test(db_sql_safety_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/db/SqlSafetyTest.cpp SERVERS)
kestrel_uses_client_library(${CMAKE_CURRENT_SOURCE_DIR}/db/SqlSafetyTest.cpp)
