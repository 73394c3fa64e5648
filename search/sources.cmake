target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/search/SessionLog.cpp)
