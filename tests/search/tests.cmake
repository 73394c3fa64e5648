# Tests of search/ (kestrel_test).
kestrel_test(search_column_sorter_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/ColumnSorterTest.cpp)
kestrel_test(search_log_session_command_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/LogSessionCommandTest.cpp)

add_executable(session_log_writer ${CMAKE_CURRENT_SOURCE_DIR}/search/SessionLogWriter.cpp)
target_link_libraries(session_log_writer PRIVATE kestrel_core)
kestrel_test(search_session_log_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/SessionLogTest.cpp)
target_compile_definitions(search_session_log_test PRIVATE SESSION_LOG_WRITER="$<TARGET_FILE:session_log_writer>")
add_dependencies(search_session_log_test session_log_writer)

kestrel_test(search_statistics_check_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/StatisticsCheckTest.cpp THREADED SERVERS)
kestrel_test(search_statistics_dlg_test GUI THREADED SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/StatisticsDlgTest.cpp)
kestrel_test(search_result_list_test GUI SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/ResultListCtrlTest.cpp)
kestrel_test(search_worker_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/SearchWorkerTest.cpp THREADED SERVERS)
kestrel_test(search_kestrel_view_test GUI THREADED SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewFixture.cpp)
kestrel_test(search_kestrel_view_faults_test GUI THREADED SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewFaultsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewFixture.cpp)
# Long: the plain pass alone runs it.
kestrel_test(search_stress_test GUI THREADED STRESS SERVERS TIMEOUT 1500 SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/StressTest.cpp)

kestrel_test(search_nfo_text_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/NfoTextTest.cpp)
kestrel_test(search_nfo_worker_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/NfoWorkerTest.cpp THREADED SERVERS)
kestrel_test(search_nfo_viewer_test GUI THREADED SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/NfoViewerTest.cpp)

# The form's look, at each scale factor.
kestrel_test(search_form_look_test GUI SCALES 1.25 1.5 2 SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/FormLookTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewFixture.cpp)
# The primary selection needs a real X server: the case that looks at it, under Xvfb.
add_test(NAME search_nfo_viewer_x11_test
  COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" $<TARGET_FILE:search_nfo_viewer_test>
          --gtest_filter=NfoViewer.AMouseSelectionBecomesThePrimarySelection)
# The X keyboard library reads past a string's end with strndup, which strict string checks refuse.
set_tests_properties(search_nfo_viewer_x11_test PROPERTIES TIMEOUT 120 LABELS gui ENVIRONMENT
  "QT_QPA_PLATFORM=xcb;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=0")

kestrel_test(search_index_build_test GUI THREADED SERVERS SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/search/IndexBuildTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/search/KestrelViewFixture.cpp)
# The search answering from the local copy; the copy's search reads half its blocks on a thread.
kestrel_test(search_local_search_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/search/LocalSearchTest.cpp THREADED SERVERS)
