target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/search/ColumnSorter.cpp
  ${CMAKE_SOURCE_DIR}/search/FormRun.cpp
  ${CMAKE_SOURCE_DIR}/search/IndexBuildWorker.cpp
  ${CMAKE_SOURCE_DIR}/search/IndexCheckWorker.cpp
  ${CMAKE_SOURCE_DIR}/search/LocalSearch.cpp
  ${CMAKE_SOURCE_DIR}/search/LogSessionCommand.cpp
  ${CMAKE_SOURCE_DIR}/search/NfoText.cpp
  ${CMAKE_SOURCE_DIR}/search/NfoWorker.cpp
  ${CMAKE_SOURCE_DIR}/search/RetrievalRules.cpp
  ${CMAKE_SOURCE_DIR}/search/SessionLog.cpp
  ${CMAKE_SOURCE_DIR}/search/SearchWorker.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/search/IndexBuildBadge.cpp
  ${CMAKE_SOURCE_DIR}/search/KestrelView.cpp
  ${CMAKE_SOURCE_DIR}/search/NfoCommand.cpp
  ${CMAKE_SOURCE_DIR}/search/NfoTextView.cpp
  ${CMAKE_SOURCE_DIR}/search/NfoViewerDlg.cpp
  ${CMAKE_SOURCE_DIR}/search/ResultListCtrl.cpp)
target_sources(kestrel_core PRIVATE ${CMAKE_SOURCE_DIR}/search/StatisticsCheck.cpp)
target_sources(kestrel_gui PRIVATE ${CMAKE_SOURCE_DIR}/search/StatisticsDlg.cpp)
