# Tests of search/ (kestrel_test).
kestrel_test(search_column_sorter_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/ColumnSorterTest.cpp)
kestrel_test(search_log_session_command_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/LogSessionCommandTest.cpp)

add_executable(session_log_writer ${CMAKE_CURRENT_SOURCE_DIR}/search/SessionLogWriter.cpp)
target_link_libraries(session_log_writer PRIVATE kestrel_core)
kestrel_test(search_session_log_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/SessionLogTest.cpp)
target_compile_definitions(search_session_log_test PRIVATE SESSION_LOG_WRITER="$<TARGET_FILE:session_log_writer>")
add_dependencies(search_session_log_test session_log_writer)

kestrel_test(search_statistics_check_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/StatisticsCheckTest.cpp THREADED)
kestrel_test(search_statistics_dlg_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/StatisticsDlgTest.cpp GUI THREADED)
kestrel_test(search_result_list_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/ResultListCtrlTest.cpp GUI)
kestrel_test(search_worker_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/SearchWorkerTest.cpp THREADED)
