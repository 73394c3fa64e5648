target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/search/SessionLog.cpp
  ${CMAKE_SOURCE_DIR}/search/SearchPortGuard.cpp
  ${CMAKE_SOURCE_DIR}/search/SearchWorker.cpp)
