target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/res/Menus.cpp
  ${CMAKE_SOURCE_DIR}/res/Strings.cpp)
