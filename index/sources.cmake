# Sources of index/: the local copy of DUPES (core, no Qt). The collation and the compiled mask
# are built once their sources are in the tree; the copy's search takes any matcher meanwhile.
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(kestrel_core PUBLIC $<LINK_ONLY:PkgConfig::SQLITE3>)
target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/index/CopyCollation.cpp
  ${CMAKE_SOURCE_DIR}/index/IndexPaths.cpp
  ${CMAKE_SOURCE_DIR}/index/LocalIndex.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/index/LocalIndex.cpp PROPERTIES
  INCLUDE_DIRECTORIES "${SQLITE3_INCLUDE_DIRS}")
if(EXISTS ${CMAKE_SOURCE_DIR}/index/Collation.cpp AND EXISTS ${CMAKE_SOURCE_DIR}/index/MaskProgram.cpp)
  target_sources(kestrel_core PRIVATE
    ${CMAKE_SOURCE_DIR}/index/Collation.cpp
    ${CMAKE_SOURCE_DIR}/index/MaskProgram.cpp)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/index/CopyCollation.cpp PROPERTIES
    COMPILE_DEFINITIONS KESTREL_HAVE_MASK_PROGRAM=1)
endif()
