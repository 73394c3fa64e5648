# Sources of index/: the local copy of DUPES (core, no Qt).
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(kestrel_core PUBLIC $<LINK_ONLY:PkgConfig::SQLITE3>)
target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/index/Collation.cpp
  ${CMAKE_SOURCE_DIR}/index/CollationProbe.cpp
  ${CMAKE_SOURCE_DIR}/index/MaskProgram.cpp
  ${CMAKE_SOURCE_DIR}/index/TextFinder.cpp
  ${CMAKE_SOURCE_DIR}/index/BlockSketch.cpp
  ${CMAKE_SOURCE_DIR}/index/CopyCollation.cpp
  ${CMAKE_SOURCE_DIR}/index/ExactNames.cpp
  ${CMAKE_SOURCE_DIR}/index/IndexPaths.cpp
  ${CMAKE_SOURCE_DIR}/index/BlockScan.cpp
  ${CMAKE_SOURCE_DIR}/index/LocalIndex.cpp
  ${CMAKE_SOURCE_DIR}/index/CheckPlan.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/index/LocalIndex.cpp ${CMAKE_SOURCE_DIR}/index/BlockScan.cpp PROPERTIES
  INCLUDE_DIRECTORIES "${SQLITE3_INCLUDE_DIRS}")
