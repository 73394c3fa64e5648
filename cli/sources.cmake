# Sources of cli/: kestrel-dupe on the core alone (no Qt). Its two mains, main.cpp and
# CheckMain.cpp, are built by kestrel_dupe_programs (CMakeLists.txt).
target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/cli/DupeCheck.cpp
  ${CMAKE_SOURCE_DIR}/cli/DupeCommand.cpp
  ${CMAKE_SOURCE_DIR}/cli/DupeOptions.cpp
  ${CMAKE_SOURCE_DIR}/cli/DupeOutput.cpp)
