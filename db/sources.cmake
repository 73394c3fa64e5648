target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/db/SearchRequest.cpp
  ${CMAKE_SOURCE_DIR}/db/SqlText.cpp
  ${CMAKE_SOURCE_DIR}/db/Statements.cpp
  ${CMAKE_SOURCE_DIR}/db/DupesConnection.cpp)
kestrel_uses_client_library(${CMAKE_SOURCE_DIR}/db/DupesConnection.cpp)
