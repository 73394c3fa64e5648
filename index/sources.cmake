target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/index/Collation.cpp
  ${CMAKE_SOURCE_DIR}/index/CollationProbe.cpp
  ${CMAKE_SOURCE_DIR}/index/MaskProgram.cpp)
